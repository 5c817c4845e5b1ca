#include "base/text_utils.h"
#include "protocol/protocol_editor_model.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"

#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

using base::CrcPanelValues;
using protocol::CommandField;
using protocol::CommandFields;
using protocol::ErrorGridRow;
using protocol::ProtocolEditorModel;
using protocol::TProtocol;

const CrcPanelValues kModbusPanel{16, "0x8005", "0xFFFF", true, "0x0000", true};

std::string fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

CommandFields fieldsNamed(const std::string& name) {
    CommandFields f;
    f.name = name;
    f.command = "RECIPIENT;3;";
    f.answer = "<RECIPIENT>;3;";
    return f;
}

// Commands c0..c{n-1}; list 3 gets one step per command.
void addCommands(ProtocolEditorModel& m, int n) {
    for (int i = 0; i < n; ++i) {
        const int32_t index = m.addCommand();
        ASSERT_TRUE(m.applyCommand(index, fieldsNamed("c" + std::to_string(i))).applied);
        ASSERT_TRUE(m.addStep(3, index).ok);
    }
}

std::vector<std::string> commandNames(const ProtocolEditorModel& m) {
    std::vector<std::string> names;
    for (const auto& c : m.description().Commands.items())
        names.push_back(c.Name);
    return names;
}

TEST(ProtocolEditorModel, NonameNumberingFillsTheSmallestGap) {
    ProtocolEditorModel m;
    for (int i = 0; i < 3; ++i)
        m.addCommand();
    EXPECT_EQ(commandNames(m), (std::vector<std::string>{"noname1", "noname2", "noname3"}));
    ASSERT_TRUE(m.deleteCommand(1));
    m.addCommand();
    EXPECT_EQ(commandNames(m), (std::vector<std::string>{"noname1", "noname3", "noname2"}));
    // Names compare without letter case: a command renamed "NONAME4" takes number 4.
    ASSERT_TRUE(m.applyCommand(0, fieldsNamed("NONAME4")).applied);
    EXPECT_EQ(m.nextCommandName(), "noname1");
    m.addCommand();
    EXPECT_EQ(m.nextCommandName(), "noname5");
}

TEST(ProtocolEditorModel, DeletingACommandRenumbersSteps) {
    struct Case {
        int32_t deleted;
        std::vector<int32_t> steps; // list 3 after the deletion
    };
    const Case cases[] = {
        {0, {0, 1, 2}}, {1, {0, 1, 2}}, {3, {0, 1, 2}}, {7, {0, 1, 2, 3}}, // out of range: nothing changes
    };
    for (const Case& c : cases) {
        ProtocolEditorModel m;
        addCommands(m, 4);
        EXPECT_EQ(m.deleteCommand(c.deleted), c.deleted < 4);
        EXPECT_EQ(m.description().ActionLists[3].StepCommands, c.steps) << c.deleted;
        EXPECT_EQ(m.description().ActionLists[3].StepCount, static_cast<int32_t>(c.steps.size()));
    }
    // Steps that used a later command now name the command that moved down.
    ProtocolEditorModel m;
    addCommands(m, 4);
    ASSERT_TRUE(m.addStep(5, 2).ok);
    ASSERT_TRUE(m.addStep(5, 1).ok);
    m.deleteCommand(1);
    EXPECT_EQ(m.description().ActionLists[5].StepCommands, (std::vector<int32_t>{1}));
    EXPECT_EQ(m.description().Commands[1].Name, "c2");
}

TEST(ProtocolEditorModel, ApplyRefusesWhatTheFileCannotHold) {
    const std::string long256(256, 'A');
    std::string cyr255;
    for (int i = 0; i < 255; ++i)
        cyr255 += "ж"; // 510 UTF-8 bytes, 255 in the file
    struct Case {
        const char* what;
        CommandFields fields;
        CommandField focus; // None: applied
    };
    auto with = [](auto change) {
        CommandFields f = fieldsNamed("new");
        change(f);
        return f;
    };
    const Case cases[] = {
        {"duplicate name, other case", with([](CommandFields& f) { f.name = "OTHER"; }), CommandField::Name},
        {"own name kept", with([](CommandFields& f) { f.name = "noname1"; }), CommandField::None},
        {"name 256 bytes", with([&](CommandFields& f) { f.name = long256; }), CommandField::Name},
        {"name 255 bytes", with([&](CommandFields& f) { f.name = cyr255; }), CommandField::None},
        {"name outside 1251", with([](CommandFields& f) { f.name = "cmd ✓"; }), CommandField::Name},
        {"command 256 bytes", with([&](CommandFields& f) { f.command = long256; }), CommandField::Command},
        {"blanks do not count", with([&](CommandFields& f) { f.command = std::string(300, ' ') + "1;"; }),
         CommandField::None},
        {"answer outside 1251", with([](CommandFields& f) { f.answer = "1;\u4e00;"; }), CommandField::Answer},
        {"exception 256 bytes", with([&](CommandFields& f) { f.exceptn = long256; }), CommandField::Exceptn},
        {"timeout -1", with([](CommandFields& f) { f.answerTimeout = -1; }), CommandField::AnswerTimeout},
        {"timeout 65536", with([](CommandFields& f) { f.answerTimeout = 65536; }),
         CommandField::AnswerTimeout},
        {"timeout 65535", with([](CommandFields& f) { f.answerTimeout = 65535; }), CommandField::None},
        {"interval 70000", with([](CommandFields& f) { f.frameInterval = 70000; }),
         CommandField::FrameInterval},
    };
    for (const Case& c : cases) {
        ProtocolEditorModel m;
        m.addCommand();
        ASSERT_TRUE(m.applyCommand(m.addCommand(), fieldsNamed("other")).applied);
        const auto before = m.description().Commands[0];
        const protocol::ApplyResult r = m.applyCommand(0, c.fields);
        EXPECT_EQ(r.applied, c.focus == CommandField::None) << c.what;
        EXPECT_EQ(r.focus, c.focus) << c.what;
        if (!r.applied) {
            EXPECT_FALSE(r.refusal.empty()) << c.what;
            EXPECT_EQ(m.description().Commands[0].Name, before.Name) << c.what;
            EXPECT_EQ(m.description().Commands[0].storedCommand(), before.storedCommand()) << c.what;
            EXPECT_EQ(m.description().Commands[0].AnswerTimeout, before.AnswerTimeout) << c.what;
        }
    }
    ProtocolEditorModel m;
    m.addCommand();
    m.addCommand();
    EXPECT_EQ(m.applyCommand(0, fieldsNamed("NoName2")).refusal, "Комманда с таким именем уже существует");
}

TEST(ProtocolEditorModel, ApplyWarnsByLineAndKeepsFaultyTemplates) {
    struct Case {
        const char* command;
        const char* answer;
        const char* exceptn;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"RECIPIENT;3;", "<RECIPIENT>;3;", "<RECIPIENT>;0x83;<ERRORCODE>;", {}},
        {"RECIPIENT;3+;1;", "", "", {"Ошибка в описнии комманды (стр 2)"}},
        {"1;", "1;<NOSUCH>;", "", {"Ошибка в описнии ответа (стр 2)"}},
        {"1;2;3;", "", "(((;", {"Ошибка в описнии исключения (стр 1)"}},
        {"1;2;tail", "", "", {"Ошибка в описнии комманды (стр 3)"}},
        {"BYTES(1);",
         "<FOO>;",
         "1;2;);",
         {"Ошибка в описнии комманды (стр 1)", "Ошибка в описнии ответа (стр 1)",
          "Ошибка в описнии исключения (стр 3)"}},
    };
    for (const Case& c : cases) {
        ProtocolEditorModel m;
        const int32_t i = m.addCommand();
        CommandFields f = fieldsNamed("x");
        f.command = c.command;
        f.answer = c.answer;
        f.exceptn = c.exceptn;
        const protocol::ApplyResult r = m.applyCommand(i, f);
        EXPECT_TRUE(r.applied) << c.command;
        EXPECT_EQ(r.warnings, c.warnings) << c.command;
        EXPECT_EQ(m.description().Commands[0].storedCommand(), base::NormalizeTemplateText(c.command));
    }
}

TEST(ProtocolEditorModel, LiveCheckUsesItsOwnEvaluator) {
    ProtocolEditorModel m;
    EXPECT_EQ(m.checkTemplate(protocol::TemplateKind::Command, "RECIPIENT;\r\nHIGH(ADDRESS);\r\n"), 0);
    EXPECT_EQ(m.checkTemplate(protocol::TemplateKind::Command, "1;\r\n2+;\r\n"), 2);
    EXPECT_EQ(m.checkTemplate(protocol::TemplateKind::Command, "1;2"), -1);
    EXPECT_EQ(m.checkTemplate(protocol::TemplateKind::Answer, "<SIZE>;<BAD>;"), 2);
}

TEST(ProtocolEditorModel, LiveCheckPlacesFaultsOnTheTypedLines) {
    using protocol::TemplateFault;
    using protocol::TemplateKind;
    const struct {
        TemplateKind kind;
        std::string text;
        std::vector<TemplateFault> faults;
    } cases[] = {
        {TemplateKind::Command, "RECIPIENT;\nHIGH(ADDRESS);\n", {}},
        {TemplateKind::Command, "1;\n2+;\n", {{1, 2, "Ошибка в описнии комманды (стр 2)"}}},
        // Several fields on one line, a blank line, blanks before the faulty field.
        {TemplateKind::Command, "1;2;\n\n   3*;4;", {{2, 3, "Ошибка в описнии комманды (стр 3)"}}},
        {TemplateKind::Command, "1;\n2", {{1, 0, "Ошибка в описнии комманды (стр 2)"}}},
        {TemplateKind::Command,
         "(;\n1;\n)",
         {{0, 1, "Ошибка в описнии комманды (стр 1)"}, {2, 0, "Ошибка в описнии комманды (стр 3)"}}},
        {TemplateKind::Answer, "<SIZE>;\n<BAD>;\n", {{1, 2, "Ошибка в описнии ответа (стр 2)"}}},
        {TemplateKind::Exceptn, "<BAD>;<ERRORCODE>;", {{0, 1, "Ошибка в описнии исключения (стр 1)"}}},
        // Text after the last ";" is no fault of an answer.
        {TemplateKind::Answer, "1;\n2", {}},
    };
    ProtocolEditorModel m;
    for (const auto& c : cases)
        EXPECT_EQ(m.templateFaults(c.kind, c.text), c.faults) << c.text;
}

TEST(ProtocolEditorModel, StepLimitsAndMoves) {
    ProtocolEditorModel m;
    m.addCommand();
    m.addCommand();
    EXPECT_FALSE(m.addStep(11, 0).ok);
    EXPECT_FALSE(m.addStep(0, 2).ok);
    EXPECT_FALSE(m.addStep(0, -1).ok);
    for (int i = 0; i < protocol::kMaxSteps; ++i)
        ASSERT_TRUE(m.addStep(0, i % 2).ok);
    const protocol::EditResult refused = m.addStep(0, 0);
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.message.empty());
    EXPECT_EQ(m.description().ActionLists[0].StepCount, 255);

    ASSERT_TRUE(m.addStep(1, 0).ok);
    ASSERT_TRUE(m.addStep(1, 1).ok);
    EXPECT_FALSE(m.moveStepUp(1, 0));
    EXPECT_FALSE(m.moveStepDown(1, 1));
    EXPECT_TRUE(m.setStepEnabled(1, 1, false));
    EXPECT_TRUE(m.moveStepUp(1, 1));
    EXPECT_EQ(m.description().ActionLists[1].StepCommands, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(m.description().ActionLists[1].StepEnabled, (std::vector<uint8_t>{0, 1}));
    EXPECT_TRUE(m.moveStepDown(1, 0));
    EXPECT_EQ(m.description().ActionLists[1].StepCommands, (std::vector<int32_t>{0, 1}));
}

// Three steps in list 2: step 0 and step 2 share ignore list A, step 1 has its own list B; list 4
// has one step with list C. Codes 5, 6 and 7 are in the error table.
class IgnoreLists : public ::testing::Test {
  protected:
    void SetUp() override {
        m.addCommand();
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(m.addStep(2, 0).ok);
        ASSERT_TRUE(m.addStep(4, 0).ok);
        m.errorGrid().editCell(0, 0, "5");
        m.errorGrid().editCell(0, 1, "Занято");
        m.errorGrid().editCell(1, 0, "6");
        m.errorGrid().editCell(1, 1, "Ошибка");
        m.errorGrid().editCell(2, 0, "7");
        m.errorGrid().editCell(2, 1, "Нет");
        std::string error;
        ASSERT_TRUE(m.collectErrorTable(error)) << error;
        ASSERT_TRUE(m.addIgnoreCode(2, 0, 5).ok); // list 0 (A)
        ASSERT_TRUE(m.addIgnoreCode(2, 1, 6).ok); // list 1 (B)
        ASSERT_TRUE(m.addIgnoreCode(4, 0, 7).ok); // list 2 (C)
        share(2, 2, 0);
    }
    void share(int32_t list, int32_t step, int32_t index) {
        // The editor has no "share" action, but files written elsewhere carry shared lists.
        TProtocol p = m.description();
        p.ActionLists[static_cast<size_t>(list)].StepIgnoreLists[static_cast<size_t>(step)] = index;
        std::string error;
        ASSERT_TRUE(protocol::WriteProtocolFile(p, dir / "shared.vpdf", error)) << error;
        ASSERT_EQ(m.LoadIntoEditor(dir / "shared.vpdf"), 0);
    }
    std::vector<int32_t> indices(int32_t list) const {
        return m.description().ActionLists[static_cast<size_t>(list)].StepIgnoreLists;
    }
    testsupport::TempDir dir;
    ProtocolEditorModel m;
};

TEST_F(IgnoreLists, RemovingAStepKeepsListsOtherStepsUse) {
    ASSERT_EQ(indices(2), (std::vector<int32_t>{0, 1, 0}));
    ASSERT_TRUE(m.removeStep(2, 0)); // A is still used by the last step
    EXPECT_EQ(indices(2), (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(m.stepIgnoreCodes(2, 1), (std::vector<std::string>{"<5> Занято"}));
    ASSERT_TRUE(m.removeStep(2, 0)); // B only this step: deleted, later lists move down
    EXPECT_EQ(indices(2), (std::vector<int32_t>{0}));
    EXPECT_EQ(indices(4), (std::vector<int32_t>{1}));
    EXPECT_EQ(m.description().IgnoreLists.size(), 2u);
    EXPECT_EQ(m.stepIgnoreCodes(4, 0), (std::vector<std::string>{"<7> Нет"}));
    EXPECT_EQ(m.stepIgnoreCodes(2, 0), (std::vector<std::string>{"<5> Занято"}));
}

TEST_F(IgnoreLists, RemovingAStepWithoutListChangesNoOtherList) {
    ASSERT_TRUE(m.addStep(2, 0).ok);
    const auto lists = m.description().IgnoreLists;
    ASSERT_TRUE(m.removeStep(2, 3));
    EXPECT_EQ(indices(2), (std::vector<int32_t>{0, 1, 0}));
    EXPECT_EQ(indices(4), (std::vector<int32_t>{2}));
    EXPECT_EQ(m.description().IgnoreLists, lists);
}

TEST_F(IgnoreLists, RemovingTheLastCodeDetachesOrDeletes) {
    ASSERT_TRUE(m.removeIgnoreCode(2, 2, 0)); // shared: step 0 keeps A (now empty), step 2 detached
    EXPECT_EQ(indices(2), (std::vector<int32_t>{0, 1, -1}));
    EXPECT_EQ(m.description().IgnoreLists.size(), 3u);
    ASSERT_TRUE(m.removeIgnoreCode(2, 1, 0)); // B alone: deleted, C moves down
    EXPECT_EQ(indices(2), (std::vector<int32_t>{0, -1, -1}));
    EXPECT_EQ(indices(4), (std::vector<int32_t>{1}));
    EXPECT_EQ(m.stepIgnoreCodes(4, 0), (std::vector<std::string>{"<7> Нет"}));
    EXPECT_FALSE(m.removeIgnoreCode(2, 1, 0)); // no list any more
    EXPECT_FALSE(m.removeIgnoreCode(4, 0, 3)); // no such position
}

TEST_F(IgnoreLists, CodesWithoutErrorTextAreKeptAndShownAsNumbers) {
    ASSERT_TRUE(m.addIgnoreCode(2, 1, 9).ok);
    EXPECT_EQ(m.stepIgnoreCodes(2, 1), (std::vector<std::string>{"<6> Ошибка", "<9>"}));
    EXPECT_EQ(m.description().IgnoreLists[1].Codes, (std::vector<int32_t>{6, 9}));
    EXPECT_FALSE(m.addIgnoreCode(2, 1, 65536).ok);
    EXPECT_FALSE(m.addIgnoreCode(2, 1, -1).ok);
    EXPECT_FALSE(m.addIgnoreCode(2, 3, 5).ok);
}

TEST_F(IgnoreLists, StepsWrittenWithoutListRead65535AndGetANewList) {
    ASSERT_TRUE(m.addStep(2, 0).ok); // no ignore list: written as 65535
    share(2, 1, 2);                  // rewrite and reload
    ASSERT_EQ(indices(2)[3], 65535);
    EXPECT_TRUE(m.stepIgnoreCodes(2, 3).empty());
    ASSERT_TRUE(m.addIgnoreCode(2, 3, 7).ok);
    EXPECT_EQ(indices(2)[3], 3);
    EXPECT_EQ(m.description().IgnoreLists.size(), 4u);
    EXPECT_EQ(m.stepIgnoreCodes(2, 3), (std::vector<std::string>{"<7> Нет"}));
    // Removing a step whose index is 65535 deletes nothing.
    ASSERT_TRUE(m.addStep(2, 0).ok);
    share(2, 0, 0); // rewrite and reload unchanged
    ASSERT_EQ(indices(2)[4], 65535);
    ASSERT_TRUE(m.removeStep(2, 4));
    EXPECT_EQ(m.description().IgnoreLists.size(), 4u);
    EXPECT_EQ(indices(2), (std::vector<int32_t>{0, 2, 0, 3}));
}

TEST(ErrorTextGrid, RowRules) {
    using Rows = std::vector<ErrorGridRow>;
    struct Edit {
        int32_t row, column;
        std::string text;
    };
    struct Case {
        const char* what;
        std::vector<Edit> edits;
        Rows rows;
    };
    const Case cases[] = {
        {"typing into the last row adds an empty row", {{0, 0, "5"}, {0, 1, "Тест"}}, {{"5", "Тест"}, {}}},
        {"one cell also counts", {{0, 1, "x"}}, {{"", "x"}, {}}},
        {"clearing the row above the empty last row removes the trailing row",
         {{0, 0, "1"}, {0, 1, "a"}, {1, 0, "2"}, {1, 0, ""}},
         {{"1", "a"}, {}}},
        {"a cleared middle row goes when another cell is edited",
         {{0, 0, "1"}, {1, 0, "2"}, {2, 0, "3"}, {1, 0, ""}, {0, 1, "a"}},
         {{"1", "a"}, {"3", ""}, {}}},
        {"a cleared middle row stays while it is edited",
         {{0, 0, "1"}, {1, 0, "2"}, {2, 0, "3"}, {1, 0, ""}},
         {{"1", ""}, {}, {"3", ""}, {}}},
        {"out of range changes nothing",
         {{0, 0, "1"}, {5, 0, "x"}, {0, 2, "x"}, {-1, 0, "x"}},
         {{"1", ""}, {}}},
    };
    for (const Case& c : cases) {
        protocol::ErrorTextGrid g;
        for (const Edit& e : c.edits)
            g.editCell(e.row, e.column, e.text);
        EXPECT_EQ(g.rows(), c.rows) << c.what;
    }
    protocol::ErrorTextGrid g;
    g.editCell(0, 0, "1");
    g.editCell(1, 0, "2");
    g.editCell(2, 0, "3");
    g.editCell(1, 0, "");
    EXPECT_EQ(g.editCell(2, 1, "c"), 1); // the edited row moved up
}

TEST(ErrorTextGrid, Collect) {
    struct Case {
        std::vector<ErrorGridRow> rows;
        bool ok;
        std::vector<protocol::TPrException> table;
    };
    const Case cases[] = {
        {{{"5", "Занято"}, {"0x10", "Шестнадцать"}, {"$FFFF", "max"}},
         true,
         {{5, "Занято"}, {16, "Шестнадцать"}, {65535, "max"}}},
        {{{"5", ""}, {"", "текст"}, {"7", "семь"}}, true, {{7, "семь"}}},
        {{{"пять", "x"}}, false, {}},
        {{{"65536", "x"}}, false, {}},
        {{{"-1", "x"}}, false, {}},
    };
    for (const Case& c : cases) {
        protocol::ErrorTextGrid g;
        for (size_t i = 0; i < c.rows.size(); ++i) {
            g.editCell(static_cast<int32_t>(i), 0, c.rows[i].code);
            g.editCell(static_cast<int32_t>(i), 1, c.rows[i].text);
        }
        std::string error;
        const auto table = g.collect(error);
        ASSERT_EQ(table.has_value(), c.ok) << error;
        if (c.ok)
            EXPECT_EQ(*table, c.table);
        else
            EXPECT_FALSE(error.empty());
    }
}

TEST(ProtocolEditorModelSave, NewDescriptionOnlyWithSaveAs) {
    testsupport::TempDir dir;
    ProtocolEditorModel m;
    EXPECT_EQ(m.LoadIntoEditor(dir / "missing.vpdf"), protocol::kReadMissing);
    EXPECT_FALSE(m.canSave());
    EXPECT_EQ(m.description().ActionLists.size(), 11u);
    EXPECT_EQ(m.description().ActionLists[10].Name, "10");
    const protocol::EditResult refused = m.save(kModbusPanel);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("Сохранить как..."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.vpdf"));

    m.setComment("Описание");
    const int32_t c = m.addCommand();
    ASSERT_TRUE(m.applyCommand(c, fieldsNamed("Чтение")).applied);
    ASSERT_TRUE(m.addStep(3, c).ok);
    m.errorGrid().editCell(0, 0, "2");
    m.errorGrid().editCell(0, 1, "Неверный адрес");
    m.errorGrid().editCell(1, 0, "3");
    ASSERT_TRUE(m.saveAs(dir / "new.vpdf", kModbusPanel).ok);
    EXPECT_TRUE(m.canSave());
    EXPECT_EQ(m.currentPath(), dir / "new.vpdf");

    uint32_t crc = 0;
    EXPECT_TRUE(protocol::CheckProtocolFileCRC(dir / "new.vpdf", crc));
    TProtocol back;
    protocol::PrepareActionLists(back);
    ASSERT_EQ(protocol::ReadProtocolFile(back, dir / "new.vpdf"), protocol::kReadOk);
    EXPECT_EQ(back.Comment, "Описание");
    ASSERT_EQ(back.Commands.Count(), 1u);
    EXPECT_EQ(back.Commands[0].Name, "Чтение");
    EXPECT_EQ(back.Commands[0].storedAnswer(), "<RECIPIENT>;3;");
    EXPECT_EQ(back.ActionLists[3].StepCommands, (std::vector<int32_t>{0}));
    EXPECT_EQ(back.Exceptions, (std::vector<protocol::TPrException>{{2, "Неверный адрес"}}));
    EXPECT_EQ(back.CRCGenerator.Polynom(), 0x8005u);
    EXPECT_TRUE(back.CRCGenerator.tableSwap());

    // "Save" now writes the same file, with the CRC panel as it stands.
    CrcPanelValues ccitt{16, "0x1021", "0xFFFF", false, "0", false};
    ASSERT_TRUE(m.save(ccitt).ok);
    ASSERT_EQ(protocol::ReadProtocolFile(back, dir / "new.vpdf"), protocol::kReadOk);
    EXPECT_EQ(back.CRCGenerator.Polynom(), 0x1021u);
    EXPECT_FALSE(back.CRCGenerator.Reflected());
}

TEST(ProtocolEditorModelSave, FailuresKeepStateAndFile) {
    testsupport::TempDir dir;
    ProtocolEditorModel m;
    m.addCommand();
    ASSERT_TRUE(m.saveAs(dir / "p.vpdf", kModbusPanel).ok);
    const std::string saved = fileBytes(dir / "p.vpdf");

    struct Case {
        const char* what;
        std::function<void(ProtocolEditorModel&)> change;
        std::filesystem::path target; // empty: "save"
        CrcPanelValues crc;
        std::string messagePart;
    };
    const Case cases[] = {
        {"CRC field not a number",
         [](ProtocolEditorModel&) {},
         {},
         {16, "0x80G5", "0", true, "0", true},
         "0x80G5"},
        {"grid code not a number",
         [](ProtocolEditorModel& mm) {
             mm.errorGrid().editCell(0, 0, "abc");
             mm.errorGrid().editCell(0, 1, "x");
         },
         {},
         kModbusPanel,
         "abc"},
        {"comment outside 1251", [](ProtocolEditorModel& mm) { mm.setComment("✓"); }, {}, kModbusPanel, ""},
        // The cause reads in the message's language, with the system's own text after it.
        {"unwritable folder", [](ProtocolEditorModel&) {}, dir / "no" / "such" / "x.vpdf", kModbusPanel,
         (dir / "no" / "such" / "x.vpdf").string() + "\rНе могу создать файл в папке " +
             (dir / "no" / "such").string() + ": "},
    };
    for (const Case& c : cases) {
        ProtocolEditorModel mm;
        ASSERT_EQ(mm.LoadIntoEditor(dir / "p.vpdf"), 0);
        c.change(mm);
        const TProtocol before = mm.description();
        const protocol::EditResult r = c.target.empty() ? mm.save(c.crc) : mm.saveAs(c.target, c.crc);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(r.message.find(c.messagePart), std::string::npos) << c.what << ": " << r.message;
        EXPECT_FALSE(r.message.empty()) << c.what;
        EXPECT_EQ(mm.currentPath(), dir / "p.vpdf") << c.what;
        EXPECT_EQ(mm.description().Comment, before.Comment) << c.what;
        EXPECT_EQ(mm.description().CRCGenerator.Polynom(), before.CRCGenerator.Polynom()) << c.what;
        EXPECT_EQ(fileBytes(dir / "p.vpdf"), saved) << c.what;
    }
}

TEST(ProtocolEditorModelSave, LoadResults) {
    testsupport::TempDir dir;
    { std::ofstream(dir / "bad.vpdf", std::ios::binary) << "garbage that is no description"; }
    ProtocolEditorModel m;
    m.addCommand();
    EXPECT_EQ(m.LoadIntoEditor(dir / "bad.vpdf"), protocol::kReadDamaged);
    EXPECT_FALSE(m.canSave());
    EXPECT_EQ(m.description().Commands.Count(), 0u);
}

} // namespace
