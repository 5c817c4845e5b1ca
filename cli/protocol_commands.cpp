// velmora-cli protocol: show, check, build frames from, match answers against, and convert protocol
// description files (.vpdf) to and from their JSON text form.

#include "base/text_utils.h"
#include "base/write_failure_text.h"
#include "cli/byte_text.h"
#include "cli/cli_context.h"
#include "cli/path_arguments.h"
#include "cli/protocol_json.h"
#include "cli/template_faults.h"
#include "cli/variable_value.h"
#include "exchange/answer_matcher.h"
#include "exchange/frame_builder.h"
#include "protocol/evaluator_setup.h"
#include "protocol/function_evaluator.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace cli {
namespace {

constexpr size_t kImageBufferSize = 0x800001;

// The evaluator and the description it compiles, loaded from a file.
struct Loaded {
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    protocol::TProtocol protocol;
    int readResult = protocol::kReadMissing;
};

// Loads a description with every protocol variable declared; on failure says why on stderr.
std::unique_ptr<Loaded> load(const std::string& path, const char* command) {
    auto l = std::make_unique<Loaded>();
    protocol::declareProtocolVariables(l->evaluator);
    l->protocol.Commands.setEvaluator(&l->evaluator);
    l->readResult = protocol::ReadProtocolFile(l->protocol, path);
    if (l->readResult != protocol::kReadOk)
        std::fprintf(stderr, "protocol %s: %s: %s\n", command, path.c_str(), protocolReadText(l->readResult));
    return l;
}

bool setVariables(protocol::TFunctionEvaluator& ev, const std::vector<std::string>& assignments,
                  const char* command) {
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        const std::string name = eq == std::string::npos ? a : a.substr(0, eq);
        long double value = 0;
        if (eq == std::string::npos || !base::IsIdentifier(name)) {
            std::fprintf(stderr, "protocol %s: '%s' is not NAME=VALUE\n", command, a.c_str());
            return false;
        }
        if (!parseVariableValue(a.substr(eq + 1), value)) {
            std::fprintf(stderr,
                         "protocol %s: '%s' is not a number (decimal, or hexadecimal after 0x, x or $)\n",
                         command, a.substr(eq + 1).c_str());
            return false;
        }
        ev.SetVariableQuiet(name, value);
    }
    return true;
}

// A command by name (letter case ignored) or by index.
const protocol::TprCOMMAND* findCommand(const protocol::TProtocol& p, const std::string& which,
                                        const char* command) {
    if (const protocol::TprCOMMAND* c = p.Commands.FindByName(which))
        return c;
    char* end = nullptr;
    const unsigned long index = std::strtoul(which.c_str(), &end, 10);
    if (!which.empty() && *end == '\0' && which[0] != '-' && index < p.Commands.Count())
        return &p.Commands[index];
    std::fprintf(stderr, "protocol %s: no command named or numbered '%s' (%zu commands)\n", command,
                 which.c_str(), p.Commands.Count());
    return nullptr;
}

// The value printed for a variable: an integer when whole.
std::string formatValue(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15Lg", v);
    return buf;
}

void printCheck(const char* what, const protocol::CompiledTemplate& compiled) {
    if (compiled.checkResult == 0) {
        std::printf("    %s: ok\n", what);
        return;
    }
    for (const std::string& fault : templateFaults(compiled))
        std::printf("    %s: %s\n", what, fault.c_str());
}

int runShow(const std::string& path, bool json) {
    auto l = load(path, "show");
    if (l->readResult != protocol::kReadOk)
        return kExitUsage;
    const protocol::TProtocol& p = l->protocol;
    if (json) {
        std::printf("%s\n", protocolToJson(p, true).dump(2).c_str());
        return kExitOk;
    }
    std::printf("comment: %s\n", p.Comment.c_str());
    std::printf("commands: %zu\n", p.Commands.Count());
    for (size_t i = 0; i < p.Commands.Count(); ++i) {
        const protocol::TprCOMMAND& c = p.Commands[i];
        std::printf("  [%zu] %s  (exception mode %u, answer timeout %d ms, frame interval %d ms)\n", i,
                    c.Name.c_str(), c.ExceptionMode, c.AnswerTimeout, c.FrameInterval);
        std::printf("    command:   %s\n", c.storedCommand().c_str());
        std::printf("    answer:    %s\n", c.storedAnswer().c_str());
        std::printf("    exception: %s\n", c.storedExceptn().c_str());
    }
    std::printf("action lists: %zu\n", p.ActionLists.size());
    for (size_t i = 0; i < p.ActionLists.size(); ++i) {
        const protocol::TVLMAction& a = p.ActionLists[i];
        std::printf("  [%zu] %s: %d steps\n", i, a.Name.c_str(), a.StepCount);
        for (size_t s = 0; s < a.StepCommands.size(); ++s) {
            const int32_t cmd = a.StepCommands[s];
            const std::string name = cmd >= 0 && static_cast<size_t>(cmd) < p.Commands.Count()
                                         ? p.Commands[static_cast<size_t>(cmd)].Name
                                         : "?";
            const int32_t ignore = s < a.StepIgnoreLists.size() ? a.StepIgnoreLists[s] : -1;
            const bool enabled = s < a.StepEnabled.size() && a.StepEnabled[s] != 0;
            std::printf("    %zu. command %d (%s)%s%s\n", s + 1, cmd, name.c_str(),
                        protocol::stepIgnoreList(p, a, static_cast<int32_t>(s))
                            ? (", ignore list " + std::to_string(ignore)).c_str()
                            : "",
                        enabled ? "" : ", disabled");
        }
    }
    std::printf("ignore lists: %zu\n", p.IgnoreLists.size());
    for (size_t i = 0; i < p.IgnoreLists.size(); ++i) {
        std::string codes;
        for (int32_t code : p.IgnoreLists[i].Codes)
            codes += (codes.empty() ? "" : " ") + std::to_string(code);
        std::printf("  [%zu] %s\n", i, codes.c_str());
    }
    std::printf("device errors: %zu\n", p.Exceptions.size());
    for (const auto& e : p.Exceptions)
        std::printf("  %d: %s\n", e.Code, e.Text.c_str());
    const base::TCRCGenerator& g = p.CRCGenerator;
    std::printf("crc: width %d, polynom 0x%X, initial 0x%X, reflected %d, xor 0x%X, swap %d\n", g.Width(),
                g.Polynom(), g.Initial(), g.Reflected() ? 1 : 0, g.XORvalue(), g.tableSwap() ? 1 : 0);
    return kExitOk;
}

int runCheck(const std::string& path) {
    // Loaded first: a missing or unreadable file has no trailer to report on.
    auto l = load(path, "check");
    if (l->readResult == protocol::kReadMissing || l->readResult == protocol::kReadUnreadable)
        return kExitUsage;
    uint32_t computed = 0;
    bool faulty = false;
    const bool crcOk = protocol::CheckProtocolFileCRC(path, computed);
    std::printf("trailer crc: %s (computed 0x%08X)\n", crcOk ? "ok" : "mismatch", computed);
    faulty |= !crcOk;
    std::printf("read: %s\n", protocolReadText(l->readResult));
    if (l->readResult != protocol::kReadOk)
        return kExitFailed;
    const protocol::TProtocol& p = l->protocol;
    for (size_t i = 0; i < p.Commands.Count(); ++i) {
        const protocol::TprCOMMAND& c = p.Commands[i];
        std::printf("command [%zu] %s\n", i, c.Name.c_str());
        printCheck("command", c.compiledCommand());
        printCheck("answer", c.compiledAnswer());
        printCheck("exception", c.compiledExceptn());
        faulty |= c.compiledCommand().checkResult != 0 || c.compiledAnswer().checkResult != 0 ||
                  c.compiledExceptn().checkResult != 0;
    }
    for (size_t i = 0; i < p.ActionLists.size(); ++i) {
        if (auto fault = protocol::actionListFault(p, static_cast<int32_t>(i))) {
            std::printf("%s\n", fault->c_str());
            faulty = true;
        }
    }
    std::printf("%s\n", faulty ? "faults found" : "no faults");
    return faulty ? kExitFailed : kExitOk;
}

struct FrameOptions {
    std::string file, command, data, at = "0";
    std::vector<std::string> vars;
    std::string hex;
};

// The image-like buffer a data block is taken from or stored into: the --data file at --at.
bool imageBuffer(const FrameOptions& o, std::vector<uint8_t>& image, int64_t& at, const char* command) {
    long double atValue = 0;
    if (!parseVariableValue(o.at, atValue) || atValue < 0 || atValue >= kImageBufferSize ||
        atValue != static_cast<int64_t>(atValue)) {
        std::fprintf(stderr, "protocol %s: --at '%s' is not an address below 0x800001\n", command,
                     o.at.c_str());
        return false;
    }
    at = static_cast<int64_t>(atValue);
    image.assign(kImageBufferSize, 0xFF);
    if (o.data.empty())
        return true;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!readInputFile(o.data, bytes, why)) {
        std::fprintf(stderr, "protocol %s: cannot read %s\n", command, why.c_str());
        return false;
    }
    if (bytes.size() > kImageBufferSize - static_cast<size_t>(at)) {
        std::fprintf(stderr, "protocol %s: %s does not fit the image at 0x%llX\n", command, o.data.c_str(),
                     static_cast<unsigned long long>(at));
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + at);
    return true;
}

// What frame and match start from: the description, the command with its variables set, and the
// data buffer at --at.
struct FrameJob {
    std::unique_ptr<Loaded> loaded;
    const protocol::TprCOMMAND* command = nullptr;
    std::vector<uint8_t> image;
    int64_t at = 0;
};

// Empty after saying on the error output what stands in the way.
std::optional<FrameJob> startFrameJob(const FrameOptions& o, const char* name) {
    FrameJob job;
    job.loaded = load(o.file, name);
    if (job.loaded->readResult != protocol::kReadOk)
        return std::nullopt;
    job.command = findCommand(job.loaded->protocol, o.command, name);
    if (!job.command || !setVariables(job.loaded->evaluator, o.vars, name) ||
        !imageBuffer(o, job.image, job.at, name))
        return std::nullopt;
    return job;
}

int runFrame(const FrameOptions& o) {
    std::optional<FrameJob> job = startFrameJob(o, "frame");
    if (!job)
        return kExitUsage;
    const protocol::TprCOMMAND* cmd = job->command;
    const std::span<const uint8_t> source(job->image);
    std::vector<uint8_t> frame(exchange::kSendBufferSize, exchange::kSendFill);
    const auto r = exchange::BuildFrame(job->loaded->protocol.Commands, *cmd, job->at,
                                        o.data.empty() ? nullptr : &source, frame);
    if (!r.built) {
        std::fprintf(stderr, "protocol frame: %s\n", r.message.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", formatHexBytes(frame.data(), static_cast<size_t>(r.length)).c_str());
    if (r.result != 0) {
        std::fprintf(stderr, "protocol frame: field %d of command '%s' could not be computed\n", r.result,
                     cmd->Name.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int runMatch(const FrameOptions& o) {
    std::optional<FrameJob> job = startFrameJob(o, "match");
    if (!job)
        return kExitUsage;
    auto received = parseHexBytes(o.hex);
    if (!received) {
        std::fprintf(stderr, "protocol match: '%s' is not a list of hexadecimal bytes\n", o.hex.c_str());
        return kExitUsage;
    }
    const protocol::TprCOMMANDS& commands = job->loaded->protocol.Commands;
    std::span<uint8_t> destination(job->image);
    const char* kind = "none";
    if (exchange::MatchAnswer(commands, job->command->compiledAnswer(), *received, &destination, job->at) ==
        0)
        kind = "answer";
    else if (exchange::MatchAnswer(commands, job->command->compiledExceptn(), *received, &destination,
                                   job->at) == 0)
        kind = "exception";
    std::printf("%s\n", kind);
    // ERRORCODE keeps a value from before when nothing matched: it would read as the device's code.
    for (const char* name : {"RECIPIENT", "SIZE", "ADDR", "ERRORCODE"})
        if (std::string_view(name) != "ERRORCODE" || std::string_view(kind) != "none")
            std::printf("%s=%s\n", name, formatValue(job->loaded->evaluator.GetVariable(name)).c_str());
    return std::string(kind) == "none" ? kExitFailed : kExitOk;
}

int runExport(const std::string& in, const std::string& out) {
    auto l = load(in, "export");
    if (l->readResult != protocol::kReadOk)
        return kExitUsage;
    const std::string text = protocolToJson(l->protocol, false).dump(2) + "\n";
    if (const base::WriteResult written = base::writeFileAtomically(out, text); !written.ok()) {
        std::fprintf(stderr, "protocol export: %s\n", base::writeFailureTextEnglish(written).c_str());
        return kExitFailed;
    }
    return kExitOk;
}

// Every faulty field of every template on the error output, with its cause.
void reportTemplateFaults(const protocol::TProtocol& p) {
    for (size_t i = 0; i < p.Commands.Count(); ++i) {
        const protocol::TprCOMMAND& c = p.Commands[i];
        for (const auto& [what, compiled] :
             {std::pair{"command", &c.compiledCommand()}, std::pair{"answer", &c.compiledAnswer()},
              std::pair{"exception", &c.compiledExceptn()}})
            for (const std::string& fault : templateFaults(*compiled))
                std::fprintf(stderr, "protocol import: command [%zu] %s, %s: %s\n", i, c.Name.c_str(), what,
                             fault.c_str());
    }
}

int runImport(const std::string& in, const std::string& out) {
    std::vector<uint8_t> text;
    std::string why;
    if (!readInputFile(in, text, why)) {
        std::fprintf(stderr, "protocol import: cannot read %s\n", why.c_str());
        return kExitUsage;
    }
    Json json = Json::parse(text.begin(), text.end(), nullptr, false);
    if (json.is_discarded()) {
        std::fprintf(stderr, "protocol import: %s is not valid JSON\n", in.c_str());
        return kExitUsage;
    }
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    protocol::TProtocol p;
    p.Commands.setEvaluator(&evaluator);
    std::string error;
    if (!protocolFromJson(json, p, error)) {
        std::fprintf(stderr, "protocol import: %s: %s\n", in.c_str(), error.c_str());
        return kExitUsage;
    }
    // The file is written all the same (the editor opens it to mend it), but not in silence.
    reportTemplateFaults(p);
    std::string bytes;
    if (!protocol::SerializeProtocol(p, bytes, error)) {
        std::fprintf(stderr, "protocol import: %s: %s\n", in.c_str(), error.c_str());
        return kExitUsage;
    }
    if (const base::WriteResult written = base::writeFileAtomically(out, bytes); !written.ok()) {
        std::fprintf(stderr, "protocol import: %s\n", base::writeFailureTextEnglish(written).c_str());
        return kExitFailed;
    }
    return kExitOk;
}

// A name or an option's name, and its help text.
using Named = std::pair<const char*, const char*>;

// export and import: a file read and one written, which is checked before any work is done.
void addConversion(CLI::App* group, CliContext& ctx, Named command, Named in, Named out,
                   int (*run)(const std::string&, const std::string&)) {
    auto files = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* cmd = group->add_subcommand(command.first, command.second);
    cmd->add_option(in.first, files->first, in.second)->required();
    cmd->add_option(out.first, files->second, out.second)->required()->check(writableOutputFile());
    cmd->callback([files, run, &ctx] { ctx.exitCode = run(files->first, files->second); });
}

} // namespace

void registerProtocolCommands(CLI::App& app, CliContext& ctx) {
    CLI::App* group = app.add_subcommand("protocol", "Protocol description files (.vpdf)");
    group->require_subcommand(1);

    auto show = std::make_shared<std::pair<std::string, bool>>();
    CLI::App* cmd =
        group->add_subcommand("show", "Print a description (or its JSON form with the template checks)");
    cmd->add_option("FILE", show->first, "Protocol description file")->required();
    cmd->add_flag("--json", show->second, "Print JSON");
    cmd->callback([show, &ctx] { ctx.exitCode = runShow(show->first, show->second); });

    auto check = std::make_shared<std::string>();
    cmd = group->add_subcommand("check",
                                "Check the trailer CRC, the file structure, every template and every step; "
                                "exit 1 on any fault, 2 when unreadable");
    cmd->add_option("FILE", *check, "Protocol description file")->required();
    cmd->callback([check, &ctx] { ctx.exitCode = runCheck(*check); });

    auto frame = std::make_shared<FrameOptions>();
    cmd = group->add_subcommand("frame", "Build a command's frame and print it as hexadecimal bytes");
    cmd->add_option("FILE", frame->file, "Protocol description file")->required();
    cmd->add_option("COMMAND", frame->command, "Command name or index")->required();
    cmd->add_option("VARS", frame->vars, "Variables as NAME=VALUE");
    cmd->add_option("--data", frame->data, "File whose bytes are the data source for DATABLOCK fields");
    cmd->add_option("--at", frame->at, "Address of the data file and default offset (default 0)");
    cmd->callback([frame, &ctx] { ctx.exitCode = runFrame(*frame); });

    auto match = std::make_shared<FrameOptions>();
    cmd = group->add_subcommand("match",
                                "Match received bytes against a command's answer and exception templates");
    cmd->add_option("FILE", match->file, "Protocol description file")->required();
    cmd->add_option("COMMAND", match->command, "Command name or index")->required();
    cmd->add_option("BYTES", match->hex, "Received bytes in hexadecimal, such as \"01 03 02 00 2A 39 9B\"")
        ->required();
    cmd->add_option("VARS", match->vars, "Variables as NAME=VALUE");
    cmd->add_option("--data", match->data, "File an unbracketed DATABLOCK is verified against");
    cmd->add_option("--at", match->at, "Address of the data file and default offset (default 0)");
    cmd->callback([match, &ctx] { ctx.exitCode = runMatch(*match); });

    addConversion(group, ctx, {"export", "Write a description as JSON"},
                  {"FILE", "Protocol description file"}, {"OUT", "JSON file to write"}, runExport);
    addConversion(group, ctx, {"import", "Build a description file from JSON"}, {"IN", "JSON file"},
                  {"OUT", "Protocol description file to write"}, runImport);
}

} // namespace cli
