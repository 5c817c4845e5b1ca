#pragma once
// The events of a device command as JSON, one object per line on the standard output, for programs
// that drive velmora-cli (--json). docs/automation.md gives the schema. Texts stay as the user sees
// them; `code` fields are stable names a program can test.

#include "app/message_sink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

struct StartEvent {
    std::string operation; // read, write, erase, reset, ident
    std::string port;
    int address = 0;
    int32_t first = -1, last = -1; // the range paged, -1 when the operation pages nothing
    int pages = 0;
};

struct PageEvent {
    int32_t index = 0;
    uint32_t address = 0;
    int bytes = 0;
    int retries = 0; // failed attempts before the page went through
};

struct ResultEvent {
    int exitCode = 0;
    int pagesDone = 0;
    double elapsedSeconds = 0;
    std::optional<uint32_t> crc; // of the image written or read
    std::optional<int> address;  // the device's bus address
};

void emitStart(const StartEvent& e);
void emitPage(const PageEvent& e);
void emitDeviceError(int code, std::string_view text);
void emitMessage(app::MessageKind kind, std::string_view title, std::string_view text);
void emitResult(const ResultEvent& e);
// A device that answered the search.
void emitFound(int address, unsigned serialNumber, std::string_view ident);

// The stable name of a message text of the device operations ("cancelled", "no_answer", ...);
// "other" for a text not known here.
std::string_view messageCode(std::string_view text);

// Messages of the core as `message` events instead of lines on the error output.
class JsonMessages final : public app::MessageSink {
  public:
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind kind) override;
};

} // namespace cli
