#include "app/profiles.h"
#include "app/protocol_file_loader.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"
#include "support/paths.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using app::Setting;

struct Host : app::ProfileHost {
    void setImageCrcParams(const base::CrcParameters&) override {}
};

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The file bytes with a correct trailer over `body`.
std::string withTrailer(const std::string& body) {
    // The check computes the CRC of everything before the last four bytes, whatever they hold.
    const std::string padded = body + "0000";
    std::uint32_t crc = 0;
    protocol::CheckProtocolBytesCRC(
        std::span(reinterpret_cast<const std::uint8_t*>(padded.data()), padded.size()), crc);
    std::string out = body;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((crc >> (8 * i)) & 0xFF);
    return out;
}

// Real description files through the profile code: a sound file enables communication, a file whose
// trailer does not match and a file that the reader rejects disable it with their messages, and the
// description is always left with its eleven action lists.
TEST(ProtocolFileLoader, ProfileOpensRealDescriptionFiles) {
    testsupport::TempDir dir;
    protocol::TProtocol written;
    protocol::PrepareActionLists(written);
    written.Comment = "Стенд: описание протокола";
    std::string error;
    fs::create_directories(dir / "protocols");
    ASSERT_TRUE(protocol::WriteProtocolFile(written, dir / "protocols/good.vpdf", error)) << error;
    const std::string good = readBytes(dir / "protocols/good.vpdf");
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x01;
    writeBytes(dir / "protocols/flipped.vpdf", flipped);
    writeBytes(dir / "protocols/cut.vpdf", withTrailer(good.substr(0, 8)));

    app::SettingsStore store(dir / "prog.ini");
    app::MainState state;
    Host host;
    testsupport::RecordedMessages messages;
    app::ViewNotifications view;
    protocol::TProtocol loaded;
    app::ProtocolFileLoader loader(loaded);
    app::Profiles profiles(store, state, host, loader, messages, view, dir.path());

    struct Case {
        std::string file;
        bool disabled;
        std::string messageStart;
        std::string comment;
    };
    const Case cases[] = {
        {"good.vpdf", false, "", "Стенд: описание протокола"},
        {"flipped.vpdf", true, "Поврежден файл описания протокола!", ""},
        {"cut.vpdf", true, "Испорчен файл описания протокола: ", ""},
        {"good.vpdf", false, "", "Стенд: описание протокола"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        messages.texts.clear();
        const std::string stored = profiles.StoreProtocolPath((dir / "protocols" / c.file).string());
        EXPECT_EQ(stored, "\\protocols\\" + c.file);
        ASSERT_TRUE(store.writeString(Setting::ProtocolPath, stored, "default"));
        ASSERT_TRUE(profiles.LoadProfile("default"));
        EXPECT_EQ(state.communicationDisabled, c.disabled);
        EXPECT_EQ(loaded.Comment, c.comment);
        EXPECT_EQ(loaded.ActionLists.size(), static_cast<size_t>(protocol::kActionListCount));
        if (c.messageStart.empty()) {
            EXPECT_TRUE(messages.texts.empty());
        } else {
            ASSERT_EQ(messages.texts.size(), 1u);
            EXPECT_TRUE(messages.texts[0].starts_with(c.messageStart)) << messages.texts[0];
        }
    }
}

} // namespace
