#pragma once
// The settings file (prog.ini): named sections of string-valued keys, read and written by section and
// key at the moment a value is needed.
//
// File format and rules:
// - "[name]" starts a section; "key=value" lines belong to the section above them; lines starting with
//   ";" or "#" are comments. Blanks around names and values are ignored. A value may be enclosed in
//   double quotes (they are removed on reading); values with blanks at either end, or enclosed in quotes
//   themselves, are written quoted so that they read back exactly.
// - Sections and keys are matched without regard to case (Latin and Cyrillic letters).
// - With duplicate keys the first one (in file order, across repeated sections) is read, and a write
//   changes it. Deleting a key removes every occurrence.
// - Comments, blank lines, unknown sections and keys stay in place when the file is rewritten.
// - Every write reaches the disk before it returns: the whole file is written to a temporary file in the
//   same folder, flushed, and renamed over the old one, so a crash at any moment leaves either the old or
//   the new file. The folder is created on the first write. Writing the value a key already has changes
//   nothing and writes nothing. Inside a Batch the writes change the store at once but reach the disk
//   together, in one such save when the batch ends.
// - The file is UTF-8 (a leading byte order mark and CRLF line ends are kept). A file that is not valid
//   UTF-8, such as one copied from an older installation, is read as code page 1251; it is rewritten as
//   UTF-8 on the first write.
// - Changes made to the file by another program are seen at the next read or write.
//
// All names and values given and returned are UTF-8.

#include "app/settings_keys.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace app {

class SettingsStore {
  public:
    // Opens the store on `file`. A missing file reads as empty; nothing is created until a write.
    explicit SettingsStore(std::filesystem::path file);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // The value text, or empty when the key is absent.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    // The value text, or `def` when the key is absent.
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    // The value as a signed 32-bit integer (see app/integer_text.h: decimal or "$"/"0x"/"x" hexadecimal,
    // the unsigned 32-bit range wrapping to signed), or `def` when absent or not a number.
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    // readInteger with `def` as 0/1; true when not 0.
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    // Each write creates the section and key as needed and is on disk when it returns true. False when
    // the name or value cannot be stored (a section name with "]", a key starting with "[", ";" or "#"
    // or holding "=", an empty name, line breaks or other control characters in a name, a line break or
    // NUL in a value), when the existing file could not be read (so that it is never overwritten blind),
    // or when the file cannot be written; the store and the file then stay as they were and lastError()
    // says why.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    // Written as decimal text.
    bool writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    // Written as "1" or "0".
    bool writeBool(std::string_view section, std::string_view key, bool value);
    // Removes every occurrence of the key. True also when there was none.
    bool deleteKey(std::string_view section, std::string_view key);
    // Removes the section (every section of that name) with its keys and comments. True also when there
    // was none.
    bool eraseSection(std::string_view section);

    // The keys of the settings table (app/settings_keys.h) with their own defaults. `profile` names the
    // profile of a profile key; `index` is the number of a numbered key.
    std::string readString(Setting id, std::string_view profile = {}, int index = 0) const;
    std::int32_t readInteger(Setting id, std::string_view profile = {}, int index = 0) const;
    bool readBool(Setting id, std::string_view profile = {}, int index = 0) const;
    bool writeString(Setting id, std::string_view value, std::string_view profile = {}, int index = 0);
    bool writeInteger(Setting id, std::int32_t value, std::string_view profile = {}, int index = 0);
    bool writeBool(Setting id, bool value, std::string_view profile = {}, int index = 0);
    bool deleteKey(Setting id, std::string_view profile = {}, int index = 0);

    // Why the last failed write failed (UTF-8), or why the file could not be read; empty otherwise.
    const std::string& lastError() const { return m_error; }
    // How many times the file was written since the store was opened.
    int savesDone() const { return m_saves; }

    // Gathers the writes made while it lives (the settings dialog's "Ok", the shutdown) into one save of
    // the file. Reads see the writes at once. Batches may nest; the outermost one saves.
    class Batch {
      public:
        explicit Batch(SettingsStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Ends the batch now: false when the save failed (lastError() says why); the store then reads
        // the file as it stands on disk again. Nested batches only end and return true.
        bool commit();

      private:
        SettingsStore& m_store;
        bool m_open = true;
    };

  private:
    struct FileId {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t mtimeNs = 0;
        bool operator==(const FileId&) const = default;
    };

    // Each line's kind and case-folded name, so that a lookup compares names without parsing.
    struct LineKey {
        enum class Kind { Other, Section, Key } kind = Kind::Other;
        std::string folded;
    };
    struct KeyPlace {
        std::optional<size_t> keyLine;     // the first line holding the key
        std::optional<size_t> sectionLine; // the first header of the section
        size_t insertAt = 0;               // after the last key line of that first section
    };

    KeyPlace locate(std::string_view section, std::string_view key) const;
    void reindex() const;
    FileId currentId() const;
    void refresh() const;
    void load() const;
    bool save(std::vector<std::string> lines);
    // Removes the key's lines in every section of that name, or with no key the sections themselves.
    bool removeLines(std::string_view section, const std::optional<std::string>& foldedKey);
    bool writeFile(std::vector<std::string> lines);
    bool endBatch();
    bool writable();

    std::filesystem::path m_path;
    mutable std::vector<std::string> m_lines; // the file's lines without their line ends
    mutable std::vector<LineKey> m_index;     // one entry per line
    mutable FileId m_loadedId;
    mutable bool m_loaded = false;
    mutable bool m_unreadable = false;
    mutable bool m_crlf = false;
    mutable bool m_bom = false;
    mutable std::string m_error;
    int m_saves = 0;
    int m_batchDepth = 0;
    bool m_batchDirty = false;
};

} // namespace app
