// A full read and a full write of the default FLASH window (0x2100..0x3FFF, 62 pages of 128 bytes)
// through velmora-cli against velmora-sim emulating the line timing, beside what the line allows:
//   wire_s  - bytes on the line x 10 / speed (the lower bound of any implementation);
//   floor_s - the wire time plus the pauses the exchange and the operations must make: per exchange
//             the device's frame-end silence (3.5 characters, at least 5 ms) and the end of the answer,
//             a single-byte read that waits twice the gap timeout round(1000 / (speed div 10)) + 20 ms
//             before it returns empty; per page at least the 11 ms page tick;
//   ratio   - measured time / wire_s; ratio_floor - measured time / floor_s.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kPages = 62;
constexpr int kPageSize = 128;

// Request and answer bytes of the example protocol description for the simulator.
constexpr int kReadRequest = 10, kReadAnswer = 6 + kPageSize;
constexpr int kWriteRequest = 10 + kPageSize, kWriteAnswer = 10;
constexpr int kIdentRequest = 4, kIdentAnswer = 40; // "Проверка связи" before a read
constexpr int kShortRequest = 4, kShortAnswer = 4;  // unlock, erase, lock

// Standard error goes to `errPath` (replaced), or nowhere when it is empty.
pid_t spawn(const std::vector<std::string>& args, int stdoutFd, const std::string& errPath = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.empty() ? "/dev/null" : errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + args[0]);
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A simulator on its own pseudo-terminal and the settings that reach it at `speed`.
class Bench {
  public:
    explicit Bench(int speed)
        : m_dir(fs::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()))) {
        fs::create_directories(m_dir);
        std::vector<uint8_t> mem(0x4000, 0xFF);
        for (size_t a = 0x2100; a < mem.size(); ++a)
            mem[a] = static_cast<uint8_t>(a * 7 + 3);
        std::ofstream(m_dir / "mem.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(mem.data()), 0x4000);
        const int index = speed == 19200 ? 8 : 12;
        std::ofstream ini(m_dir / "prog.ini");
        ini << "[Profiles]\nactive=default\n[Port settings]\nbaudrate=" << index
            << "\n[default\\Connection]\n"
            << "protocolFile=" << (fs::path(VELMORA_BINARY_DIR) / "examples" / "sim.vpdf").string() << "\n";
        ini.close();

        int pipeFds[2];
        if (pipe(pipeFds))
            throw std::runtime_error("pipe");
        m_sim = spawn({(fs::path(VELMORA_BINARY_DIR) / "velmora-sim").string(), "--baud",
                       std::to_string(speed), "--image-in", (m_dir / "mem.bin").string()},
                      pipeFds[1]);
        close(pipeFds[1]);
        // Kept open while the simulator runs, so that nothing it prints ever meets a closed pipe.
        m_simOut = pipeFds[0];
        char c;
        while (read(m_simOut, &c, 1) == 1 && c != '\n')
            m_line.push_back(c);
        if (m_line.empty())
            throw std::runtime_error("velmora-sim printed no line path");
    }
    ~Bench() {
        kill(m_sim, SIGTERM);
        waitFor(m_sim);
        close(m_simOut);
        fs::remove_all(m_dir);
    }

    int cli(const std::vector<std::string>& command) {
        std::vector<std::string> args = {(fs::path(VELMORA_BINARY_DIR) / "velmora-cli").string(),
                                         "--quiet",
                                         "--settings",
                                         (m_dir / "prog.ini").string(),
                                         "--port",
                                         m_line,
                                         "device"};
        args.insert(args.end(), command.begin(), command.end());
        return waitFor(spawn(args, -1, file("cli.err")));
    }
    // What the last command said on its error output.
    std::string lastError() const {
        std::ifstream in(m_dir / "cli.err");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string file(const std::string& name) const { return (m_dir / name).string(); }

  private:
    fs::path m_dir;
    pid_t m_sim = -1;
    int m_simOut = -1;
    std::string m_line;
};

double wireSeconds(int bytes, int speed) {
    return bytes * 10.0 / speed;
}

// One exchange's share of the floor: its bytes, the device's frame-end silence, the answer-end gap.
double exchangeFloor(int request, int answer, int speed) {
    const double silence = std::max(0.005, 3.5 * 10.0 / speed);
    const double gap = (std::round(1000.0 / (speed / 10)) + 20) / 1000.0;
    return wireSeconds(request + answer, speed) + silence + 2 * gap;
}

void report(benchmark::State& state, int speed, int lineBytes, double floor, double measured) {
    const double wire = wireSeconds(lineBytes, speed);
    const double average = state.iterations() ? measured / static_cast<double>(state.iterations()) : 0;
    state.counters["wire_s"] = wire;
    state.counters["floor_s"] = floor;
    state.counters["ratio"] = average / wire;
    state.counters["ratio_floor"] = average / floor;
}

// Runs the velmora-cli command once per iteration and times it by hand; the seconds of all runs.
double timeCommand(benchmark::State& state, Bench& bench, const std::vector<std::string>& command,
                   const std::string& what) {
    double measured = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (bench.cli(command) != 0)
            state.SkipWithError((what + " failed: " + bench.lastError()).c_str());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        measured += seconds;
        state.SetIterationTime(seconds);
    }
    return measured;
}

void BM_DeviceRead(benchmark::State& state) {
    const int speed = static_cast<int>(state.range(0));
    Bench bench(speed);
    const int pageBytes = kReadRequest + kReadAnswer;
    const int bytes = kPages * pageBytes + kIdentRequest + kIdentAnswer + kShortRequest + kShortAnswer;
    const double page = std::max(0.011, exchangeFloor(kReadRequest, kReadAnswer, speed));
    const double floor = kPages * page + exchangeFloor(kIdentRequest, kIdentAnswer, speed) +
                         exchangeFloor(kShortRequest, kShortAnswer, speed);
    const double measured = timeCommand(state, bench, {"read", bench.file("out.bin")}, "device read");
    report(state, speed, bytes, floor, measured);
}

void BM_DeviceWrite(benchmark::State& state) {
    const int speed = static_cast<int>(state.range(0));
    Bench bench(speed);
    const int bytes = kPages * (kWriteRequest + kWriteAnswer) + 3 * (kShortRequest + kShortAnswer);
    const double page = std::max(0.011, exchangeFloor(kWriteRequest, kWriteAnswer, speed));
    const double floor = kPages * page + 3 * exchangeFloor(kShortRequest, kShortAnswer, speed);
    const double measured = timeCommand(state, bench, {"write", bench.file("mem.bin")}, "device write");
    report(state, speed, bytes, floor, measured);
}

BENCHMARK(BM_DeviceRead)
    ->Arg(19200)
    ->Arg(115200)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeviceWrite)
    ->Arg(19200)
    ->Arg(115200)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace
