#include "app/file_workflow.h"

#include "app/integer_text.h"
#include "app/profiles.h"
#include "image/hex_text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace app {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kErrorBoxTitle = "ОШИБКА! ";
constexpr std::string_view kQuestionTitle = "Подтверждение";
constexpr int kEnvelopeHeaderSize = 100;
constexpr int kAssignHex = 1, kAssignBinary = 2, kAssignEnvelope = 4;

bool fileExists(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

} // namespace

std::uint8_t openFilterFileType(int position) {
    switch (position) {
    case 2:
        return image::kFileTypeHex;
    case 3:
        return image::kFileTypeBinary;
    default:
        return image::kFileTypeDetect;
    }
}

std::vector<std::string> recentFiles(const SettingsStore& store) {
    std::vector<std::string> names;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        std::string name = store.readString(Setting::RecentFile, {}, i);
        if (!name.empty())
            names.push_back(std::move(name));
    }
    return names;
}

bool updateRecentFiles(SettingsStore& store, const std::string& name) {
    std::vector<std::string> list(kRecentFileCount);
    list[0] = name;
    int skipped = 0;
    for (int i = 1; i < kRecentFileCount; ++i) {
        // The seventh entry is read only when an earlier one was dropped: otherwise it falls off.
        if (i == kRecentFileCount - 1 && skipped == 0)
            continue;
        std::string entry = store.readString(Setting::RecentFile, {}, i);
        if (entry == name)
            ++skipped;
        else
            list[static_cast<size_t>(i - skipped)] = std::move(entry);
    }
    bool ok = true;
    for (int i = 0; i < kRecentFileCount; ++i)
        ok = store.writeString(Setting::RecentFile, list[static_cast<size_t>(i)], {}, i + 1) && ok;
    return ok;
}

std::optional<std::int64_t> fileStamp(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

DataOutsideWindow dataOutsideWindow(const image::THEXFile& image, std::int32_t flashStart,
                                    std::int32_t flashEnd) {
    const std::int32_t limit = std::min(image.Capacity, image::kMaxImageSize);
    const std::int32_t from = (image.IsEnvelope && !image.Packed) ? kEnvelopeHeaderSize : 0;
    const std::uint8_t* filled = image.Filled.data();
    const std::uint8_t* data = image.Data.data();
    DataOutsideWindow outside;
    for (std::int32_t a = from; a < limit; ++a) {
        if (a >= flashStart && a <= flashEnd) {
            a = flashEnd; // skip the window in one step
            continue;
        }
        if (filled[a] == 0 || data[a] == image::kEmptyByte)
            continue;
        AddressSpan& span = a < flashStart ? outside.below : outside.above;
        if (span.empty())
            span.first = a;
        span.last = a;
        ++outside.bytes;
    }
    return outside;
}

bool programFits(const image::THEXFile& image, std::int32_t flashStart, std::int32_t flashEnd) {
    return dataOutsideWindow(image, flashStart, flashEnd).bytes == 0;
}

ImageStatusTexts imageStatusTexts(image::THEXFile& image, std::int32_t flashStart, std::int32_t flashEnd,
                                  std::uint16_t pageSize) {
    image.FindRange(flashStart, flashEnd);
    image.CalcCRC();
    const std::int32_t page = pageSize == 0 ? 1 : pageSize;
    // Nothing in range: a dash instead of the -1 the image keeps for "no address", and no bytes (the
    // image's Length reads 1 for an empty range).
    const bool empty = image.StartAddr < 0 || image.EndAddr < 0;
    const std::int32_t length = empty ? 0 : image.Length;
    image.BlockCount = length / page + (length % page != 0 ? 1 : 0);

    ImageStatusTexts texts;
    if (empty)
        texts.range = "Нач. адр: —  Кон. адр: —";
    else
        texts.range = "Нач. адр: " + image::AddrToHex0x(static_cast<std::uint32_t>(image.StartAddr)) + "h" +
                      "  Кон. адр:" + image::AddrToHex0x(static_cast<std::uint32_t>(image.EndAddr)) + "h";
    texts.size = "Длина: " + image::AddrToHex0x(static_cast<std::uint32_t>(length)) + "(" +
                 std::to_string(length) + ")" + " байт [" + std::to_string(image.BlockCount) + " блоков]";
    const std::int32_t width = image.CRCGenerator.Width();
    if (width == 16)
        texts.crc = "CRC: " + image::WordToHex0x(static_cast<std::uint16_t>(image.CRC & 0xFFFF));
    else if (width == 32)
        texts.crc = "CRC: " + image::DWordToHex0x(image.CRC);
    return texts;
}

FileWorkflow::FileWorkflow(image::THEXFile& image, SettingsStore& store, MainState& state, Log& log,
                           MessageSink& messages, ViewNotifications& view, FileWorkflowHost& host)
    : m_image(image), m_store(store), m_state(state), m_log(log), m_messages(messages), m_view(view),
      m_host(host) {}

std::int32_t FileWorkflow::profileInteger(Setting id) const {
    return m_store.readInteger(id, m_state.activeProfile);
}

std::string FileWorkflow::unmarkedText(const std::string& fileName) const {
    return "Файл:" + fileName + " имеет недопустимый формат.\r" +
           "Отсутствует метка версии образа или пакета.";
}

void FileWorkflow::reportLoadFailure(const image::FileResult& result, const std::string& fileName) {
    std::string text = (result.damaged ? "Файл поврежден :" : "Не могу открыть файл: ") + fileName + " ";
    if (!result.reason.empty())
        text += "(" + result.reason + ")";
    m_log.AddLogLine(text);
    m_host.showError(kErrorBoxTitle, text);
}

bool FileWorkflow::preventUnmarked() const {
    return m_store.readBool(Setting::PreventUnmarked, m_state.activeProfile);
}

bool FileWorkflow::LoadFile(std::uint8_t fileType, std::int32_t address, const std::string& fileName,
                            bool append) {
    // A load while a device reads or writes the image would mix two images; the window disables every
    // way to get here meanwhile, this keeps it so.
    if (m_host.deviceBusy())
        return false;
    // An appended file is judged on the merged image before it replaces anything, so a refusal never
    // wipes the contents it was to be added to.
    bool unmarked = false;
    const auto accept = [&](const image::THEXFile& merged) {
        unmarked = merged.VersionPos == -1 && preventUnmarked();
        return !unmarked;
    };
    const image::FileResult result = append ? m_image.LoadFromFile(fileType, address, true, fileName, accept)
                                            : m_image.LoadFromFile(fileType, address, false, fileName);

    // A file that could not be read is reported as such; the version-record rule applies to files that
    // loaded.
    if (!append && result.ok && m_image.VersionPos == -1 && preventUnmarked()) {
        clearBuffer();
        unmarked = true;
    }
    if (unmarked) {
        m_messages.showMessage(kErrorTitle, unmarkedText(fileName), MessageKind::Error);
        return false;
    }

    if (!result.ok) {
        // A failed load on top of the image has left it as it was; only a replacing load clears.
        if (!append) {
            m_image.Clear();
            forgetCurrentFile();
            m_unsaved = false;
            m_view.RefreshView();
        }
        reportLoadFailure(result, fileName);
        return false;
    }

    const std::int32_t flashStart = profileInteger(Setting::FlashStart);
    const std::int32_t flashEnd = profileInteger(Setting::FlashEnd);
    m_image.FindRange(flashStart, flashEnd);
    if (!programFits(m_image, flashStart, flashEnd))
        m_log.AddLogLine("Программа не умещается в памяти");
    m_log.AddLogLine("Открыт файл: " + fileName);

    // The type the file turned out to have: an opened file is detected, and an envelope is recognised
    // only after loading.
    const std::uint8_t loaded = m_image.FileType;
    if (append) {
        m_unsaved = true;
    } else {
        setCurrentFile(fileName, loaded);
        m_unsaved = false;
    }

    m_view.RefreshView();
    m_view.ApplyPanelLayout();
    m_view.UpdateActionStates();

    const std::vector<std::string> profiles = m_host.profileNames();
    for (const std::string& profile : profiles) {
        const std::int32_t mask = m_store.readInteger(Setting::AssignFileType, profile);
        if (((mask & kAssignHex) && loaded == image::kFileTypeHex) ||
            ((mask & kAssignBinary) && loaded == image::kFileTypeBinary) ||
            ((mask & kAssignEnvelope) && loaded == image::kFileTypeEnvelope)) {
            m_host.applyProfileForFile(profile);
            break;
        }
    }
    return true;
}

void FileWorkflow::setCurrentFile(const std::string& fileName, std::uint8_t fileType) {
    m_currentFile = fileName;
    m_currentType = fileType;
    m_stamp = fileStamp(fileName);
    m_host.setCaption(std::string(kAppTitle) + "    [ " + fileName + " ]");
}

void FileWorkflow::forgetCurrentFile() {
    m_currentFile.clear();
    m_stamp.reset();
    m_host.setCaption(std::string(kAppTitle));
    m_view.UpdateActionStates();
}

bool FileWorkflow::mayReplaceContents() {
    return !m_unsaved || m_messages.showMessage(
                             kQuestionTitle, "Содержимое буфера не сохранено и будет потеряно.\rПродолжить?",
                             MessageKind::Question);
}

void FileWorkflow::deviceReadStarted() {
    forgetCurrentFile();
    m_unsaved = true;
    // The cleared image shows at once: no version panel or figures of the contents that are gone.
    m_view.RefreshView();
}

void FileWorkflow::deviceReadPlaced() {
    // As after a load: the record and list are found in the bytes, then checked against them.
    m_image.FindVersion();
    m_image.Update();
    m_view.RefreshView();
}

bool FileWorkflow::reloadForProfileSwitch() {
    if (!mayReplaceContents())
        return true;
    m_image.Clear();
    m_unsaved = false;
    if (!fileExists(m_currentFile))
        return false;
    return LoadFile(m_currentType, -1, m_currentFile, false);
}

void FileWorkflow::rememberFolder(const std::string& fileName) {
    m_lastFolder = fs::path(fileName).parent_path().string();
}

void FileWorkflow::recordCurrentFile(const std::string& fileName) {
    bool ok = updateRecentFiles(m_store, fileName);
    ok = m_store.writeString(Setting::LastFile, fileName) && ok;
    ok = m_store.writeString(Setting::ProfileFile, fileName, m_state.activeProfile) && ok;
    if (!ok)
        m_log.AddLogLine("Не удалось сохранить настройки: " + m_store.lastError());
    m_host.recentFilesChanged();
}

bool FileWorkflow::openFile(const std::string& fileName) {
    rememberFolder(fileName);
    if (!mayReplaceContents() || !LoadFile(image::kFileTypeDetect, -1, fileName, false))
        return false;
    recordCurrentFile(fileName);
    return true;
}

bool FileWorkflow::openRecentFile(const std::string& fileName) {
    if (!fileExists(fileName)) {
        m_messages.showMessage(kErrorTitle, "Файл не найден: " + fileName, MessageKind::Error);
        return false;
    }
    return openFile(fileName);
}

bool FileWorkflow::reload() {
    if (!fileExists(m_currentFile)) {
        m_messages.showMessage(kErrorTitle, "Файл не найден !", MessageKind::Error);
        // What the image holds is now on no disk.
        if (!m_currentFile.empty())
            m_unsaved = true;
        forgetCurrentFile();
        return false;
    }
    return mayReplaceContents() && LoadFile(m_currentType, -1, m_currentFile, false);
}

bool FileWorkflow::save(const std::string& fileName, int filterPosition) {
    rememberFolder(fileName);
    const bool hex = filterPosition == 1;
    const image::FileResult result = hex ? m_image.SaveHexFile(fileName) : m_image.SaveBinaryFile(fileName);
    if (!result.ok) {
        m_messages.showMessage(kErrorTitle, result.message, MessageKind::Error);
        return false;
    }
    // The saved file holds the contents now: it becomes the current file, and the watch sees its own
    // write as no change.
    // An envelope is saved as an envelope whatever the filter; detection finds it again.
    const std::uint8_t type = m_image.IsEnvelope ? image::kFileTypeDetect
                              : hex              ? image::kFileTypeHex
                                                 : image::kFileTypeBinary;
    setCurrentFile(fileName, type);
    m_unsaved = false;
    m_view.UpdateActionStates();
    return true;
}

void FileWorkflow::clearBuffer() {
    m_image.Clear();
    forgetCurrentFile();
    m_unsaved = false;
    bool ok = m_store.writeString(Setting::LastFile, "");
    ok = m_store.writeString(Setting::ProfileFile, "", m_state.activeProfile) && ok;
    if (!ok)
        m_log.AddLogLine("Не удалось сохранить настройки: " + m_store.lastError());
    m_view.RefreshView();
    m_host.hardwareIdCleared();
    m_view.UpdateActionStates();
}

std::optional<std::int32_t> FileWorkflow::loadAddress(std::string_view text) {
    const std::string typed = [&] {
        size_t b = 0, e = text.size();
        while (b < e && (text[b] == ' ' || text[b] == '\t'))
            ++b;
        while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
            --e;
        return std::string(text.substr(b, e - b));
    }();
    if (typed.empty())
        return std::nullopt;
    const std::optional<std::int32_t> value = parseInteger(typed);
    if (!value)
        m_messages.showMessage(kErrorTitle, "\"" + typed + "\" - недопустимое целое число",
                               MessageKind::Error);
    return value;
}

bool FileWorkflow::loadAt(std::int32_t address, const std::string& fileName, int filterPosition) {
    rememberFolder(fileName);
    return LoadFile(openFilterFileType(filterPosition), address, fileName, true);
}

bool FileWorkflow::watchTick() {
    const std::string fileName = m_currentFile;
    if (fileName.empty() || m_watching || m_host.deviceBusy())
        return false;
    const std::optional<std::int64_t> stamp = fileStamp(fileName);
    // A file that vanished (or is being replaced) is looked at again on the next tick.
    if (!stamp || stamp == m_stamp)
        return false;

    m_watching = true;
    m_stamp = stamp;
    m_log.AddLogLine(
        "Файл изменен  [" +
        formatLogTimestamp(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now())) + "]");

    bool reloaded = false;
    const bool ask = profileInteger(Setting::ConfirmReload) == 1;
    if ((!ask || m_messages.showMessage(kQuestionTitle, "Файл " + fileName + " изменен.\rПерезагрузить?",
                                        MessageKind::Question)) &&
        mayReplaceContents()) {
        // Try the file in a scratch image first, so that a file caught half-written or broken never
        // replaces the contents the user is working with.
        const std::uint8_t fileType = m_currentType;
        auto probe = std::make_unique<image::THEXFile>();
        const image::FileResult result = probe->LoadFromFile(fileType, -1, false, fileName);
        if (!result.ok)
            reportLoadFailure(result, fileName);
        else if (probe->VersionPos == -1 && m_store.readBool(Setting::PreventUnmarked, m_state.activeProfile))
            m_messages.showMessage(kErrorTitle, unmarkedText(fileName), MessageKind::Error);
        else {
            probe.reset();
            reloaded = LoadFile(fileType, -1, fileName, false);
        }
    }
    m_watching = false;
    return reloaded;
}

} // namespace app
