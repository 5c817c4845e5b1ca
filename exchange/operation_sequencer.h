#pragma once
// The device operations of the main window: read the device into the memory image, write the image
// into the device (both page by page, one page per tick), erase and reset.
//
// A front end calls startRead/startWrite, then tick() from a timer (the desktop program as soon as
// its window has painted, velmora-cli in a loop) while paging() is true, and cancel() when the user cancels.
// The progress texts are ready for a panel at any time. Erase and reset run to their end in one call. All
// texts are UTF-8.

#include "exchange/device_host.h"

#include <cstdint>
#include <string>

namespace exchange {

// Action lists of the protocol description, by their fixed index.
enum ActionList : int {
    kListIdentRead = 0,
    kListIdentWrite = 1,
    kListBeforeRead = 2,
    kListReadPage = 3,
    kListAfterRead = 4,
    kListBeforeWrite = 5,
    kListWritePage = 6,
    kListAfterWrite = 7,
    kListErase = 8,
    kListSearch = 9,
    kListReset = 10,
};

inline constexpr std::string_view kTextCannotOpenPort = "Не могу открыть порт!";
inline constexpr std::string_view kTextCancelled = "Операция прервана пользователем";
inline constexpr std::string_view kTextPageSizeZero =
    "Размер страницы равен 0: чтение и запись устройства невозможны. Укажите размер страницы в настройках.";
inline constexpr std::string_view kTextBadFlashWindow =
    "Недопустимое окно памяти устройства (FLASH start, FLASH end): операция не выполнена.";
inline constexpr std::string_view kTextNothingToWrite =
    "В окне памяти устройства нет данных для записи: операция не выполнена.";

// Panel captions.
inline constexpr std::string_view kCaptionProgress = "Прогресс";
inline constexpr std::string_view kCaptionAddress = "Адрес доступа:";
inline constexpr std::string_view kCaptionCommErrors = "Ошибок связи:";
inline constexpr std::string_view kCaptionElapsed = "Прошло времени:";
inline constexpr std::string_view kCaptionCancel = "Отмена";

class OperationSequencer {
  public:
    enum class Operation { None, Read, Write, Erase, Reset };
    enum class State { Idle, Paging };
    // How the last operation ended.
    enum class Outcome { None, Running, Completed, Failed, Cancelled, Refused };

    explicit OperationSequencer(DeviceHost& host);
    OperationSequencer(const OperationSequencer&) = delete;
    OperationSequencer& operator=(const OperationSequencer&) = delete;

    // Starts a read of the FLASH window into the cleared image. True when paging has begun; false
    // when the operation was refused or ended at once (the user has been told why).
    bool startRead();
    // Starts a write of the image's filled bytes within the FLASH window. Same result as startRead.
    bool startWrite();
    // Run the erase or reset list to the end. True when the list succeeded.
    bool erase();
    bool reset();

    // One page. Does nothing unless paging, and nothing when called again from inside an exchange
    // or a message shown by one.
    void tick();
    // The user's cancel. Inside an exchange it is carried out right after that exchange, and a front
    // end whose line wait hook returns cancelPending() ends that exchange's wait at once (the page in
    // flight does not count). An erase, reset or list whose wait was ended that way ends Cancelled.
    void cancel();
    bool cancelPending() const { return m_cancelPending; }

    State state() const { return m_state; }
    // The progress panel is shown while a read or write runs.
    bool panelVisible() const { return m_panelVisible; }
    bool paging() const { return m_state == State::Paging; }
    Operation operation() const { return m_operation; }
    Outcome outcome() const { return m_outcome; }
    // Exchange result of the failing list, 0 otherwise.
    int32_t lastResult() const { return m_lastResult; }

    // Panel values.
    int progress() const { return m_progress; } // 0..100
    const std::string& addressText() const { return m_addressText; }
    std::string commErrorsText() const;
    const std::string& elapsedText() const { return m_elapsedText; }
    uint32_t elapsedSeconds() const;
    int32_t page() const { return m_page; }
    uint32_t address() const { return m_address; }

  private:
    // Refuses while another operation runs or the FLASH window is unusable; else takes the window.
    bool claimIdle();
    bool commonStart(bool needPages);
    void begin(Operation op);
    ListOutcome runList(int list, const ListBuffers& buffers);
    // The list run before the first page; on failure the operation ends as failed.
    bool runBeforeList(int list);
    bool afterExchange();
    bool cancelledInFlight(const ListOutcome& out);
    // After a page's list: true when it went through; a failure ends the operation and logs `stopText`.
    bool pageWentThrough(const ListOutcome& out, std::string_view stopText);
    void nextPage(int progress);
    // The device log line that names the page and address where a read or write failed.
    void logStop(std::string_view what);
    bool refuse(std::string_view text);
    void showPanel(bool show);
    void stopExchange();
    void readTick();
    void writeTick();
    void finishRead();
    void finishWrite();
    void doCancel();
    void updateTexts();
    bool runSingleList(Operation op, int list, std::string_view okText, std::string_view failText);

    DeviceHost& m_host;
    State m_state = State::Idle;
    Operation m_operation = Operation::None;
    Outcome m_outcome = Outcome::None;
    int32_t m_lastResult = 0;
    bool m_inExchange = false;
    bool m_cancelPending = false;
    bool m_panelVisible = false;

    FlashWindow m_window;
    uint16_t m_pageSize = 0;
    uint32_t m_address = 0;
    int32_t m_page = 0;
    int32_t m_startPage = 0;
    int32_t m_appEnd = -1;
    uint32_t m_startTick = 0;

    int m_progress = 0;
    std::string m_addressText = "0x0000";
    std::string m_elapsedText = "0 сек";
};

} // namespace exchange
