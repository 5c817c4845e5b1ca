// Our "-lh5-" streams against the public LHA archivers: lhasa must test and extract what we
// compress, and we must decode what jlha compresses.

#include "image/lh5_decoder.h"
#include "image/lh5_encoder.h"
#include "support/files.h"
#include "support/lha_archive.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/sample_data.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using testsupport::codeLikeBytes;
using testsupport::firmwareImage;
using testsupport::randomBytes;

// Full path of a program found on PATH, or empty.
std::string findTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const fs::path candidate = fs::path(dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

// Real machine code: the leading part of this test program's own file.
std::vector<uint8_t> ownBinary(size_t size) {
    std::vector<uint8_t> bytes = testsupport::readBytes("/proc/self/exe");
    if (bytes.size() > size)
        bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> repeated(const std::vector<uint8_t>& block, int times) {
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}

struct Sample {
    std::string name;
    std::vector<uint8_t> data;
};

std::vector<Sample> samples() {
    return {
        {"empty", {}},
        {"one byte", {0x7E}},
        {"bytes 0 and 1", {0x00, 0x01, 0x01, 0x00}},
        {"random 8193", randomBytes(8193, 31)},
        {"code-like 70000", codeLikeBytes(70000, 32)},
        {"firmware 300000", firmwareImage(300000, 33)},
        {"machine code", ownBinary(600000)},
        {"all 0xFF", std::vector<uint8_t>(50000, 0xFF)},
        {"matches 8192 back", repeated(randomBytes(8192, 34), 4)},
    };
}

TEST(Lh5Peer, LhasaTestsAndExtractsOurStreams) {
    const std::string lhasa = findTool("lhasa");
    if (lhasa.empty())
        GTEST_SKIP() << "lhasa is not installed (scripts/deps.sh installs it)";
    testsupport::TempDir dir;
    for (const Sample& s : samples()) {
        std::vector<uint8_t> stream;
        image::lh5Encode(s.data, stream);
        for (int level : {0, 1, 2}) {
            SCOPED_TRACE(s.name + ", header level " + std::to_string(level));
            const fs::path archive = dir / ("l" + std::to_string(level) + ".lzh");
            testsupport::writeBytes(archive,
                                    testsupport::makeLhaArchive(level, "data.bin", "-lh5-", s.data, stream));

            const auto tested = testsupport::runProcess(lhasa, {"t", archive.string()});
            EXPECT_NE(tested.out.find("Tested"), std::string::npos) << tested.out << tested.err;
            EXPECT_EQ(tested.out.find("CRC error"), std::string::npos) << tested.out;

            const fs::path outDir = dir / ("x" + std::to_string(level));
            fs::create_directory(outDir);
            testsupport::runProcess(lhasa, {"xw=" + outDir.string(), archive.string()});
            EXPECT_TRUE(testsupport::readBytes(outDir / "data.bin") == s.data);
            fs::remove_all(outDir);
        }
    }
}

TEST(Lh5Peer, WeDecodeJlhaStreams) {
    const std::string jlha = findTool("jlha");
    if (jlha.empty())
        GTEST_SKIP() << "jlha is not installed (scripts/deps.sh installs jlha-utils)";
    testsupport::TempDir dir;
    const Sample cases[] = {
        {"code-like 200000", codeLikeBytes(200000, 41)},
        {"firmware 1 MiB", firmwareImage(1 << 20, 42)},
        {"machine code", ownBinary(1 << 20)},
        {"runs", std::vector<uint8_t>(30000, 0x00)},
    };
    for (const Sample& s : cases) {
        SCOPED_TRACE(s.name);
        const fs::path input = dir / "in.bin";
        const fs::path archive = dir / "out.lzh";
        fs::remove(archive);
        testsupport::writeBytes(input, s.data);
        const auto made = testsupport::runProcess(jlha, {"co5", archive.string(), input.string()});
        const std::vector<uint8_t> bytes = testsupport::readBytes(archive);
        const auto member = testsupport::readFirstLhaMember(bytes);
        ASSERT_TRUE(member) << made.out << made.err;
        ASSERT_EQ(member->method, "-lh5-");
        ASSERT_EQ(member->originalSize, s.data.size());

        std::vector<uint8_t> out(member->originalSize);
        ASSERT_EQ(image::lh5Decode(member->data, out), image::Lh5DecodeResult::Ok);
        EXPECT_TRUE(out == s.data);
        EXPECT_EQ(testsupport::lhaCrc16(out), member->crc);

        // Our compressor keeps up with theirs: at most 1% larger.
        std::vector<uint8_t> ours;
        image::lh5Encode(s.data, ours);
        EXPECT_LE(static_cast<double>(ours.size()), 1.01 * static_cast<double>(member->data.size()))
            << "ours " << ours.size() << ", jlha " << member->data.size();
    }
}

} // namespace
