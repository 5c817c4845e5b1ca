#include "protocol/evaluator_setup.h"
#include "protocol/protocol_description.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"

#include "support/paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace {

using protocol::TProtocol;

std::span<const uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A description using every section: MODBUS read and write commands, three lists, an ignore list,
// device error texts in Cyrillic.
TProtocol sampleProtocol(protocol::TFunctionEvaluator* ev) {
    TProtocol p;
    p.Commands.setEvaluator(ev);
    protocol::PrepareActionLists(p);
    p.Comment = "Пример: чтение и запись регистров";
    auto& read = p.Commands.Add();
    read.Name = "Чтение";
    p.Commands.setCommand(read,
                          "recipient;3;high(address);low(address);0;size;high(pack_crc);low(pack_crc);");
    p.Commands.setAnswer(read, "<RECIPIENT>;3;<SIZE>;<DATABLOCK>;HIGH(PACK_CRC);LOW(PACK_CRC);");
    p.Commands.setExceptn(read, "<RECIPIENT>;0x83;<ERRORCODE>;HIGH(PACK_CRC);LOW(PACK_CRC);");
    read.ExceptionMode = 1;
    read.AnswerTimeout = 500;
    read.FrameInterval = 20;
    auto& reset = p.Commands.Add();
    reset.Name = "Reset";
    p.Commands.setCommand(reset, "RECIPIENT;0x08;");
    protocol::AddStep(p.ActionLists[3], 0, true);
    protocol::AddStep(p.ActionLists[10], 1, true);
    protocol::AddStep(p.ActionLists[10], 1, false);
    const int32_t ignore = protocol::AddIgnoreList(p);
    protocol::AddIgnoreCode(p, ignore, 5);
    protocol::AddIgnoreCode(p, ignore, 6);
    p.ActionLists[10].StepIgnoreLists[0] = ignore;
    p.Exceptions.push_back(protocol::MakeException(2, "Недопустимый адрес"));
    p.Exceptions.push_back(protocol::MakeException(5, "Занято"));
    p.CRCGenerator.SetParameters(16, 0x8005, 0, true, true, 0xFFFF);
    return p;
}

void expectSame(const TProtocol& a, const TProtocol& b) {
    EXPECT_EQ(a.Comment, b.Comment);
    EXPECT_EQ(a.ActionLists, b.ActionLists);
    ASSERT_EQ(a.Commands.Count(), b.Commands.Count());
    for (size_t i = 0; i < a.Commands.Count(); ++i) {
        EXPECT_EQ(a.Commands[i].Name, b.Commands[i].Name);
        EXPECT_EQ(a.Commands[i].storedCommand(), b.Commands[i].storedCommand());
        EXPECT_EQ(a.Commands[i].storedAnswer(), b.Commands[i].storedAnswer());
        EXPECT_EQ(a.Commands[i].storedExceptn(), b.Commands[i].storedExceptn());
        EXPECT_EQ(a.Commands[i].ExceptionMode, b.Commands[i].ExceptionMode);
        EXPECT_EQ(a.Commands[i].AnswerTimeout, b.Commands[i].AnswerTimeout);
        EXPECT_EQ(a.Commands[i].FrameInterval, b.Commands[i].FrameInterval);
    }
    EXPECT_EQ(a.Exceptions, b.Exceptions);
    EXPECT_EQ(a.IgnoreLists, b.IgnoreLists);
    EXPECT_EQ(a.CRCGenerator.Width(), b.CRCGenerator.Width());
    EXPECT_EQ(a.CRCGenerator.Polynom(), b.CRCGenerator.Polynom());
    EXPECT_EQ(a.CRCGenerator.Initial(), b.CRCGenerator.Initial());
    EXPECT_EQ(a.CRCGenerator.Reflected(), b.CRCGenerator.Reflected());
    EXPECT_EQ(a.CRCGenerator.XORvalue(), b.CRCGenerator.XORvalue());
    EXPECT_EQ(a.CRCGenerator.tableSwap(), b.CRCGenerator.tableSwap());
}

TEST(ProtocolFile, WriteReadWriteGivesTheSameBytes) {
    auto ev = protocol::makeMainEvaluator();
    const TProtocol original = sampleProtocol(&ev);
    testsupport::TempDir dir;
    std::string error;
    ASSERT_TRUE(protocol::WriteProtocolFile(original, dir / "p.vpdf", error)) << error;

    TProtocol read;
    read.Commands.setEvaluator(&ev);
    protocol::PrepareActionLists(read);
    ASSERT_EQ(protocol::ReadProtocolFile(read, dir / "p.vpdf"), protocol::kReadOk);
    // A step without an ignore list comes back as 65535, which still means none.
    TProtocol expected = original;
    expected.ActionLists[3].StepIgnoreLists[0] = 65535;
    expected.ActionLists[10].StepIgnoreLists[1] = 65535;
    expectSame(read, expected);
    EXPECT_EQ(protocol::stepIgnoreList(read, read.ActionLists[3], 0), nullptr);
    EXPECT_NE(protocol::stepIgnoreList(read, read.ActionLists[10], 0), nullptr);
    EXPECT_EQ(read.Commands[0].LastCheckResult(), 0);

    std::string first, second;
    ASSERT_TRUE(protocol::SerializeProtocol(original, first, error));
    ASSERT_TRUE(protocol::SerializeProtocol(read, second, error));
    EXPECT_EQ(first, second);
    uint32_t crc = 0;
    EXPECT_TRUE(protocol::CheckProtocolFileCRC(dir / "p.vpdf", crc));
    EXPECT_TRUE(protocol::CheckProtocolFileCRC(dir / "missing.vpdf", crc));

    TProtocol comment;
    EXPECT_EQ(protocol::ReadProtocolComment(comment, dir / "p.vpdf"), protocol::kReadOk);
    EXPECT_EQ(comment.Comment, original.Comment);
    EXPECT_EQ(protocol::ReadProtocolComment(comment, dir / "missing.vpdf"), protocol::kReadMissing);
    EXPECT_EQ(protocol::ReadProtocolFile(comment, dir / "missing.vpdf"), protocol::kReadMissing);
}

TEST(ProtocolFile, LayoutDetails) {
    TProtocol p;
    std::string bytes, error;
    ASSERT_TRUE(protocol::SerializeProtocol(p, bytes, error));
    EXPECT_EQ(bytes.substr(0, 7), std::string("\x06PRTCL\0", 7));
    EXPECT_EQ(bytes.substr(7, 14), "\x0D\r\n<COMMENT>\r\n");
    EXPECT_EQ(bytes[21], '\0'); // no comment pieces

    struct CommentCase {
        size_t length;
        uint8_t pieces;
    };
    for (const auto& c : {CommentCase{255, 1}, CommentCase{256, 2}, CommentCase{65025, 255}}) {
        p.Comment = std::string(c.length, 'x');
        ASSERT_TRUE(protocol::SerializeProtocol(p, bytes, error));
        EXPECT_EQ(static_cast<uint8_t>(bytes[21]), c.pieces);
        TProtocol back;
        ASSERT_EQ(protocol::ReadProtocolBytes(back, asBytes(bytes)), 0);
        EXPECT_EQ(back.Comment, p.Comment);
    }

    // Only the second of the two Reflected bytes counts.
    p.Comment.clear();
    p.CRCGenerator.SetParameters(16, 0x1021, 0, false, false, 0xFFFF);
    ASSERT_TRUE(protocol::SerializeProtocol(p, bytes, error));
    const size_t reflected2 = bytes.size() - 4 - 1 - 4 - 1;
    bytes[reflected2 - 1] = 1;
    TProtocol back;
    ASSERT_EQ(protocol::ReadProtocolBytes(back, asBytes(bytes)), 0);
    EXPECT_FALSE(back.CRCGenerator.Reflected());
    bytes[reflected2] = 1;
    ASSERT_EQ(protocol::ReadProtocolBytes(back, asBytes(bytes)), 0);
    EXPECT_TRUE(back.CRCGenerator.Reflected());
    uint32_t crc = 0;
    EXPECT_FALSE(protocol::CheckProtocolBytesCRC(asBytes(bytes), crc));

    // The exception mode is a 16-bit field: a value above 2 is kept as it is and acts as 0.
    auto ev = protocol::makeMainEvaluator();
    TProtocol modes = sampleProtocol(&ev);
    modes.Commands[0].ExceptionMode = 0x0102;
    ASSERT_TRUE(protocol::SerializeProtocol(modes, bytes, error));
    TProtocol read;
    read.Commands.setEvaluator(&ev);
    ASSERT_EQ(protocol::ReadProtocolBytes(read, asBytes(bytes)), 0);
    EXPECT_EQ(read.Commands[0].ExceptionMode, 0x0102);
    EXPECT_EQ(read.Commands[0].effectiveExceptionMode(), 0);
    std::string again;
    ASSERT_TRUE(protocol::SerializeProtocol(read, again, error));
    EXPECT_EQ(again, bytes);
}

TEST(ProtocolFile, ActionListsGrowButNeverShrink) {
    TProtocol tenLists;
    tenLists.ActionLists.resize(10);
    std::string bytes, error;
    ASSERT_TRUE(protocol::SerializeProtocol(tenLists, bytes, error));
    TProtocol prepared;
    protocol::PrepareActionLists(prepared);
    protocol::AddStep(prepared.ActionLists[10], 0, true);
    ASSERT_EQ(protocol::ReadProtocolBytes(prepared, asBytes(bytes)), 0);
    EXPECT_EQ(prepared.ActionLists.size(), 11u);
    EXPECT_EQ(prepared.ActionLists[10].Name, "10");
    EXPECT_EQ(prepared.ActionLists[10].StepCount, 1);
    EXPECT_EQ(prepared.ActionLists[0].Name, "");
}

TEST(ProtocolFile, DamagedFilesAreRejectedAndLoseNothing) {
    auto ev = protocol::makeMainEvaluator();
    std::string good, error;
    ASSERT_TRUE(protocol::SerializeProtocol(sampleProtocol(&ev), good, error));
    const TProtocol before = sampleProtocol(&ev);

    // Cut at every offset: everything short of the CRC parameters' end is damaged, and the
    // description given to the reader stays as it was.
    const size_t crcEnd = good.size() - 4;
    for (size_t n = 0; n < good.size(); ++n) {
        TProtocol target = before;
        const int r = protocol::ReadProtocolBytes(target, asBytes(good.substr(0, n)));
        EXPECT_EQ(r, n < crcEnd ? protocol::kReadDamaged : protocol::kReadOk) << "cut at " << n;
        if (r != protocol::kReadOk)
            expectSame(target, before);
        TProtocol comment;
        protocol::ReadProtocolCommentBytes(comment, asBytes(good.substr(0, n)));
    }
    // Every single byte changed: read or rejected, never outside the buffer (the sanitizer build
    // checks that), and always caught by the trailer check.
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::string bad = good;
            bad[i] = static_cast<char>(bad[i] ^ flip);
            TProtocol target;
            target.Commands.setEvaluator(&ev);
            const int r = protocol::ReadProtocolBytes(target, asBytes(bad));
            EXPECT_TRUE(r == protocol::kReadOk || r == protocol::kReadDamaged);
            uint32_t crc = 0;
            EXPECT_FALSE(protocol::CheckProtocolBytesCRC(asBytes(bad), crc)) << "byte " << i;
        }
    }
    std::string wrongMagic = good;
    wrongMagic[5] = 'X';
    TProtocol target;
    EXPECT_EQ(protocol::ReadProtocolBytes(target, asBytes(wrongMagic)), protocol::kReadDamaged);
}

// Paths that are no description file are refused at once: nothing waits for a writer, nothing huge
// is read into memory, and the caller's description stays as it was.
TEST(ProtocolFile, PathsThatAreNoDescriptionFile) {
    testsupport::TempDir dir;
    const std::filesystem::path fifo = dir / "pipe.vpdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path huge = dir / "huge.vpdf";
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, (64u << 20) + 1); // sparse: takes no room on disk
    const struct {
        std::filesystem::path path;
        int expected;
    } cases[] = {
        {fifo, protocol::kReadUnreadable},
        {dir.path(), protocol::kReadUnreadable},
        {dir / "absent.vpdf", protocol::kReadMissing},
        {huge, protocol::kReadDamaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        TProtocol target;
        target.Comment = "unchanged";
        EXPECT_EQ(protocol::ReadProtocolFile(target, c.path), c.expected);
        EXPECT_EQ(protocol::ReadProtocolComment(target, c.path), c.expected);
        EXPECT_EQ(target.Comment, "unchanged");
    }
}

TEST(ProtocolFile, WriterRefusesWhatTheFormatCannotHold) {
    struct Case {
        const char* name;
        void (*spoil)(TProtocol&);
    };
    const Case cases[] = {
        {"name over 255 bytes", [](TProtocol& p) { p.Commands[0].Name = std::string(256, 'N'); }},
        {"Cyrillic name over 255 code page bytes",
         [](TProtocol& p) {
             p.Commands[0].Name.clear();
             for (int i = 0; i < 256; ++i)
                 p.Commands[0].Name += "Ж";
         }},
        {"character outside code page 1251", [](TProtocol& p) { p.Exceptions[0].Text = "\xE4\xB8\xAD"; }},
        {"template over 255 bytes",
         [](TProtocol& p) {
             std::string t;
             for (int i = 0; i < 90; ++i)
                 t += "1;";
             t += std::string(80, '2') + ";";
             p.Commands.setCommand(p.Commands[0], t);
         }},
        {"comment over 65025 bytes", [](TProtocol& p) { p.Comment = std::string(65026, 'c'); }},
        {"more than 255 steps",
         [](TProtocol& p) {
             for (int i = 0; i < 255; ++i)
                 protocol::AddStep(p.ActionLists[0], 0, true);
         }},
        {"negative timeout", [](TProtocol& p) { p.Commands[0].AnswerTimeout = -1; }},
        {"timeout over 65535", [](TProtocol& p) { p.Commands[0].FrameInterval = 65536; }},
        {"exception code over 65535", [](TProtocol& p) { p.Exceptions[0].Code = 70000; }},
        {"ignore list index below -1", [](TProtocol& p) { p.ActionLists[10].StepIgnoreLists[0] = -2; }},
    };
    auto ev = protocol::makeMainEvaluator();
    testsupport::TempDir dir;
    const auto path = dir / "keep.vpdf";
    std::string error;
    ASSERT_TRUE(protocol::WriteProtocolFile(sampleProtocol(&ev), path, error));
    std::string kept;
    {
        std::ifstream f(path, std::ios::binary);
        kept.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    for (const auto& c : cases) {
        TProtocol p = sampleProtocol(&ev);
        protocol::AddStep(p.ActionLists[0], 1, true);
        c.spoil(p);
        error.clear();
        EXPECT_FALSE(protocol::WriteProtocolFile(p, path, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        std::ifstream f(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()), kept)
            << c.name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ProtocolFile, ListsThatCannotRunAreFlagged) {
    auto ev = protocol::makeMainEvaluator();
    TProtocol p = sampleProtocol(&ev);
    EXPECT_FALSE(protocol::actionListFault(p, 3));
    EXPECT_FALSE(protocol::actionListFault(p, 0)); // empty lists run (and do nothing)

    p.ActionLists[3].StepCommands[0] = 2; // two commands: 0 and 1
    std::string bytes, error;
    ASSERT_TRUE(protocol::SerializeProtocol(p, bytes, error));
    TProtocol read;
    ASSERT_EQ(protocol::ReadProtocolBytes(read, asBytes(bytes)), 0);
    auto fault = protocol::actionListFault(read, 3);
    ASSERT_TRUE(fault);
    EXPECT_NE(fault->find("шаг 1"), std::string::npos) << *fault;

    // A file whose per-step lists and step count differ is read as it stands.
    p = sampleProtocol(&ev);
    p.ActionLists[10].StepCount = 3;
    ASSERT_TRUE(protocol::SerializeProtocol(p, bytes, error));
    ASSERT_EQ(protocol::ReadProtocolBytes(read, asBytes(bytes)), 0);
    EXPECT_EQ(read.ActionLists[10].StepCount, 3);
    fault = protocol::actionListFault(read, 10);
    ASSERT_TRUE(fault);
    EXPECT_NE(fault->find("\"10\""), std::string::npos) << *fault;
    EXPECT_TRUE(protocol::actionListFault(read, 11));
}

TEST(ProtocolDescription, StepAndListOperations) {
    protocol::TVLMAction a;
    protocol::InitAction("x", a);
    EXPECT_EQ(protocol::AddStep(a, 4, true), 0);
    EXPECT_EQ(protocol::AddStep(a, 5, false), 1);
    EXPECT_TRUE(protocol::InsertStep(a, 0, 3, true));
    EXPECT_FALSE(protocol::InsertStep(a, 4, 9, true));
    a.StepIgnoreLists[2] = 7;
    EXPECT_TRUE(protocol::MoveStep(a, 0, 2));
    EXPECT_EQ(a.StepCommands, (std::vector<int32_t>{5, 3, 4}));
    EXPECT_EQ(a.StepIgnoreLists, (std::vector<int32_t>{7, -1, -1}));
    EXPECT_EQ(a.StepEnabled, (std::vector<uint8_t>{0, 1, 1}));
    EXPECT_TRUE(protocol::DeleteStep(a, 1));
    EXPECT_FALSE(protocol::DeleteStep(a, 2));
    EXPECT_EQ(a.StepCount, 2);

    TProtocol p;
    EXPECT_EQ(protocol::AddIgnoreList(p), 0);
    EXPECT_EQ(protocol::AddIgnoreCode(p, 0, 5), 0);
    EXPECT_EQ(protocol::AddIgnoreCode(p, 1, 5), -1);
    EXPECT_EQ(protocol::DeleteIgnoreCode(p, 0, 1), -1);
    EXPECT_EQ(protocol::DeleteIgnoreCode(p, 0, 0), 0);
    protocol::DeleteIgnoreList(p, 3);
    EXPECT_EQ(p.IgnoreLists.size(), 1u);
    p.Exceptions = {protocol::MakeException(1, "a"), protocol::MakeException(1, "b")};
    EXPECT_EQ(protocol::FindException(p.Exceptions, 1), 1);
    EXPECT_EQ(protocol::FindException(p.Exceptions, 2), -1);
}

} // namespace
