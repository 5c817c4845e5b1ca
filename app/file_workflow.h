#pragma once
// The main window's handling of files around the single memory image: open, reload by hand or when the
// file changes on disk, save, clear, load on top at an address, the recent-file list, the window caption
// and the settings that record the current file. Everything is reported through the injected log,
// message sink, view notifications and host; nothing here opens a window, so it runs headless.
//
// All texts (file names included) are UTF-8.

#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "image/hex_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The caption of the main window without a file.
inline constexpr std::string_view kAppTitle = "Velmora";

// What the file workflow needs of the main window.
class FileWorkflowHost {
  public:
    virtual ~FileWorkflowHost() = default;
    // The window caption changed.
    virtual void setCaption(const std::string& caption) = 0;
    // An error of a file operation: a box titled `title`, or a device log line when error boxes are
    // switched off (app::ExchangeLink::error).
    virtual void showError(std::string_view title, std::string_view text) = 0;
    // True while a device operation or search runs: the file watch then waits.
    virtual bool deviceBusy() const { return false; }
    // The names of the profile box, in order.
    virtual std::vector<std::string> profileNames() const { return {}; }
    // A loaded file's type matches profile `name`: select it in the profile box and apply it, unless a
    // profile is being applied right now or it is the active profile already.
    virtual void applyProfileForFile(const std::string& name) { (void)name; }
    // The recent-file list changed: rebuild its menu.
    virtual void recentFilesChanged() {}
    // The buffer was cleared: APP_HWID := 0.
    virtual void hardwareIdCleared() {}
};

// The file type of an open-dialog filter position: 1 detect, 2 Intel HEX, 3 binary; the envelope and
// program-package positions (4, 5) and any other detect as well.
std::uint8_t openFilterFileType(int position);

// The recent files File1 .. File8 that are not empty, in order.
std::vector<std::string> recentFiles(const SettingsStore& store);
// Puts `name` first and keeps at most six earlier names, dropping the entries equal to it (compared
// exactly: file names differ by case on this platform); File8 is written empty. False when a write
// failed.
bool updateRecentFiles(SettingsStore& store, const std::string& name);

// The modification time of `path` in nanoseconds, or empty when it cannot be read.
std::optional<std::int64_t> fileStamp(const std::string& path);

// First and last address of a stretch of the image; first < 0 when it holds nothing.
struct AddressSpan {
    std::int32_t first = -1, last = -1;
    bool empty() const { return first < 0; }
};

// The program data that lies outside a FLASH window: its extent below the window and above it, and
// how many bytes it holds. Only filled bytes other than 0xFF count; the header of an unpacked envelope
// (its first 100 bytes) does not.
struct DataOutsideWindow {
    AddressSpan below, above;
    std::size_t bytes = 0;
};
DataOutsideWindow dataOutsideWindow(const image::THEXFile& image, std::int32_t flashStart,
                                    std::int32_t flashEnd);

// True when no program data lies outside flashStart .. flashEnd (dataOutsideWindow holds nothing).
bool programFits(const image::THEXFile& image, std::int32_t flashStart, std::int32_t flashEnd);

struct ImageStatusTexts {
    std::string range;              // "Нач. адр: 0x2100h  Кон. адр:0x3FFFh"
    std::string size;               // "Длина: 0x1F00(7936) байт [62 блоков]"
    std::optional<std::string> crc; // "CRC: 0x1234"; empty for a CRC width other than 16 and 32
};

// Narrows the image's range to flashStart .. flashEnd, recomputes its CRC and BlockCount (a page size
// of 0 counts as 1; an empty range holds no bytes and no pages) and returns the three status-bar texts.
ImageStatusTexts imageStatusTexts(image::THEXFile& image, std::int32_t flashStart, std::int32_t flashEnd,
                                  std::uint16_t pageSize);

class FileWorkflow {
  public:
    // Everything is borrowed and must outlive this object. The settings of the active profile
    // (state.activeProfile) are read at the moment they are needed.
    FileWorkflow(image::THEXFile& image, SettingsStore& store, MainState& state, Log& log,
                 MessageSink& messages, ViewNotifications& view, FileWorkflowHost& host);
    FileWorkflow(const FileWorkflow&) = delete;
    FileWorkflow& operator=(const FileWorkflow&) = delete;

    // The one loading path. `fileType` is an image file type (5 detects); `address` -1 loads where the
    // file says. True when the file was loaded. Failures: a file without a version record while the
    // profile's "Prevent unmarked" is on (error box; a replacing load clears the buffer, an appending one
    // is refused when the merged image would hold no record and leaves the image as it was), an
    // unreadable or damaged file (error through the host; a replacing load clears the image and forgets
    // the current file, an appending one leaves it as it was).
    // On success: range narrowed to the profile's FLASH window, "Программа не умещается в памяти" logged
    // when filled bytes lie outside it, "Открыт файл: " + name logged, caption and file stamp set (not
    // when appending), view refreshed, and the first profile whose "Assign file type" matches offered
    // to the host. While the host says a device operation runs, nothing is loaded and false returned.
    bool LoadFile(std::uint8_t fileType, std::int32_t address, const std::string& fileName, bool append);

    // The open dialog chose `fileName`: load it (type detected) and on success record it as the current
    // and newest recent file.
    bool openFile(const std::string& fileName);
    // A recent-file menu item: like openFile; a missing file shows "Файл не найден: " + name.
    bool openRecentFile(const std::string& fileName);
    // FileUpdate: loads the current file again with its type; a missing file shows "Файл не найден !" and
    // forgets the name.
    bool reload();
    // FileSave with a save-dialog filter position (1 Intel HEX, otherwise binary). Failures show the
    // reason in an error box. A saved image has that file as its current file from then on.
    bool save(const std::string& fileName, int filterPosition);
    // BufferClear: empties the image, the caption and the current-file settings.
    void clearBuffer();
    // The address typed into the load-at-address dialog. Empty text gives nothing silently; text that
    // is no number shows an error box and gives nothing.
    std::optional<std::int32_t> loadAddress(std::string_view text);
    // Loads `fileName` on top of the image at `address` (type from the filter position); caption, stamp
    // and recent list stay.
    bool loadAt(std::int32_t address, const std::string& fileName, int filterPosition);

    // One tick of the file watch (the window calls it every second while "Check file update" is on).
    // Does nothing without a current file, while a device operation runs (the change is seen once it has
    // ended) or while a tick is already at work. When the file's time stamp differs from the one last
    // seen: logs "Файл изменен  [" + date and time + "]", asks first when the profile's "Confirm reload"
    // is 1, and reloads. A reload that would fail leaves the image as it was and reports why; a later
    // change of the file is reloaded again. Returns true when the file was reloaded.
    bool watchTick();

    // The one current file: the file the image's contents came from (set by a replacing load or a save),
    // empty when there is none (first start, cleared buffer, device read, failed load). The caption
    // names it and FileUpdate reloads it.
    const std::string& currentFile() const { return m_currentFile; }
    // True while the image holds what no file on disk holds: edited bytes, a file loaded on top, a device
    // read not yet saved.
    bool unsavedContents() const { return m_unsaved; }
    // True when the image's contents may be replaced now: nothing unsaved, or the user agreed to lose it.
    bool mayReplaceContents();
    // A byte of the image was edited by hand.
    void contentsEdited() { m_unsaved = true; }
    // A device read replaces the contents: no current file (caption without a name, no reload) until the
    // user saves what was read; the view shows the cleared image.
    void deviceReadStarted();
    // A device read has placed its pages (all of them, or those before a failure): the version record and
    // compatibility list are looked up in them as after a load, and the view is refreshed.
    void deviceReadPlaced();
    // "Reload last file" of a profile switch: after asking when the contents are unsaved (a refusal keeps
    // them and returns true), the image is cleared and the current file loaded again. False when there is
    // no current file, it is missing or it failed to load: the caller forgets it.
    bool reloadForProfileSwitch();
    // No current file any more: caption without a name, reload disabled.
    void forgetCurrentFile();

    // Whether FileUpdate has something to reload: there is a current file.
    bool reloadEnabled() const { return !m_currentFile.empty(); }
    // The folder of the last file chosen in a file dialog (empty at first).
    const std::string& lastFolder() const { return m_lastFolder; }
    // The stamp of the current file at its last load.
    std::optional<std::int64_t> currentFileStamp() const { return m_stamp; }

  private:
    void setCurrentFile(const std::string& fileName, std::uint8_t fileType);
    bool preventUnmarked() const;
    void recordCurrentFile(const std::string& fileName);
    void reportLoadFailure(const image::FileResult& result, const std::string& fileName);
    std::string unmarkedText(const std::string& fileName) const;
    void rememberFolder(const std::string& fileName);
    std::int32_t profileInteger(Setting id) const;

    image::THEXFile& m_image;
    SettingsStore& m_store;
    MainState& m_state;
    Log& m_log;
    MessageSink& m_messages;
    ViewNotifications& m_view;
    FileWorkflowHost& m_host;
    std::string m_lastFolder;
    std::optional<std::int64_t> m_stamp;
    std::string m_currentFile;
    std::uint8_t m_currentType = image::kFileTypeDetect;
    bool m_unsaved = false;
    bool m_watching = false;
};

} // namespace app
