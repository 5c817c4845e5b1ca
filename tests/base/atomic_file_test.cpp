#include "base/atomic_file.h"
#include "base/write_failure_text.h"

#include "support/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using base::WriteStatus;

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Each failure is reported as its cause, the place it is about and the system's text; the words
// for it are the shell's, in Russian or in English, and leave an existing file as it was.
TEST(AtomicFile, FailuresAreCausesWithThePlaceAndTheSystemText) {
    testsupport::TempDir dir;
    std::ofstream(dir / "old.bin") << "old";
    std::ofstream(dir / "often.bin") << "old";
    std::filesystem::create_directory(dir / "folder");
    std::ofstream(dir / "folder" / "inside") << "x"; // a folder with files cannot be renamed over
    const std::filesystem::path missing = dir / "missing";
    const std::string noEntry = std::strerror(ENOENT), isFolder = std::strerror(EISDIR);

    struct Case {
        const char* what;
        base::WriteResult result;
        WriteStatus status;
        std::filesystem::path place;
        std::string russian, english;
    };
    const Case cases[] = {
        {"replace a file", base::writeFileAtomically(dir / "old.bin", "new"), WriteStatus::Ok, {}, "", ""},
        {"replace a file without a sync",
         base::writeFileAtomically(dir / "often.bin", "newer", base::Durability::Unsynced),
         WriteStatus::Ok,
         {},
         "",
         ""},
        {"check a folder", base::canWriteFileAtomically(dir / "folder"), WriteStatus::IsFolder,
         dir / "folder", "Это папка, а не файл: " + (dir / "folder").string(),
         "this is a folder, not a file: " + (dir / "folder").string()},
        {"write into a missing folder", base::writeFileAtomically(missing / "x.bin", "new"),
         WriteStatus::CannotCreate, missing,
         "Не могу создать файл в папке " + missing.string() + ": " + noEntry,
         "cannot create a file in " + missing.string() + ": " + noEntry},
        {"check in a missing folder", base::canWriteFileAtomically(missing / "x.bin"),
         WriteStatus::CannotCreate, missing,
         "Не могу создать файл в папке " + missing.string() + ": " + noEntry,
         "cannot create a file in " + missing.string() + ": " + noEntry},
        {"write over a folder", base::writeFileAtomically(dir / "folder", "new"), WriteStatus::CannotReplace,
         dir / "folder", "Не могу заменить файл " + (dir / "folder").string() + ": " + isFolder,
         "cannot replace " + (dir / "folder").string() + ": " + isFolder},
        {"write over a folder without a sync",
         base::writeFileAtomically(dir / "folder", "new", base::Durability::Unsynced),
         WriteStatus::CannotReplace, dir / "folder",
         "Не могу заменить файл " + (dir / "folder").string() + ": " + isFolder,
         "cannot replace " + (dir / "folder").string() + ": " + isFolder},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result.status, c.status) << c.what;
        EXPECT_EQ(c.result.ok(), c.status == WriteStatus::Ok) << c.what;
        if (!c.result.ok()) {
            EXPECT_EQ(c.result.place, c.place) << c.what;
        }
        EXPECT_EQ(base::writeFailureText(c.result), c.russian) << c.what;
        EXPECT_EQ(base::writeFailureTextEnglish(c.result), c.english) << c.what;
    }
    EXPECT_EQ(fileText(dir / "old.bin"), "new");
    EXPECT_EQ(fileText(dir / "often.bin"), "newer");
    EXPECT_EQ(fileText(dir / "folder" / "inside"), "x");
    // Nothing is left behind beside the targets.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

} // namespace
