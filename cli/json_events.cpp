#include "cli/json_events.h"

#include "app/log.h"
#include "cli/text_table.h"
#include "exchange/exchange_errors.h"
#include "exchange/exchange_result.h"
#include "exchange/operation_sequencer.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <utility>

namespace cli {

namespace {

void emit(const nlohmann::ordered_json& event) {
    // A text that is not valid UTF-8 (a device's bytes) must not end the job.
    std::printf("%s\n", event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    std::fflush(stdout);
}

std::string_view kindName(app::MessageKind kind) {
    static constexpr TextFor<app::MessageKind> kNames[] = {
        {app::MessageKind::Error, "error"},
        {app::MessageKind::Warning, "warning"},
        {app::MessageKind::Information, "information"},
        {app::MessageKind::Question, "question"},
    };
    return textFor(kind, kNames, "error");
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace

void emitStart(const StartEvent& e) {
    nlohmann::ordered_json j{
        {"event", "start"}, {"operation", e.operation}, {"port", e.port}, {"address", e.address}};
    if (e.first >= 0)
        j["range"] = {{"first", e.first}, {"last", e.last}};
    j["pages"] = e.pages;
    emit(j);
}

void emitPage(const PageEvent& e) {
    emit({{"event", "page"},
          {"index", e.index},
          {"address", e.address},
          {"bytes", e.bytes},
          {"retries", e.retries}});
}

void emitDeviceError(int code, std::string_view text) {
    emit({{"event", "device_error"}, {"code", code}, {"text", text}});
}

void emitMessage(app::MessageKind kind, std::string_view title, std::string_view text) {
    emit({{"event", "message"},
          {"kind", kindName(kind)},
          {"code", messageCode(text)},
          {"title", title},
          {"text", text}});
}

void emitResult(const ResultEvent& e) {
    nlohmann::ordered_json j{{"event", "result"}};
    if (e.address)
        j["address"] = *e.address;
    j["ok"] = e.exitCode == 0;
    j["exit_code"] = e.exitCode;
    j["pages_done"] = e.pagesDone;
    j["elapsed_seconds"] = e.elapsedSeconds;
    if (e.crc)
        j["crc"] = *e.crc;
    emit(j);
}

void emitFound(int address, unsigned serialNumber, std::string_view ident) {
    emit({{"event", "device"}, {"address", address}, {"serial_number", serialNumber}, {"ident", ident}});
}

std::string_view messageCode(std::string_view text) {
    using namespace exchange;
    static const std::pair<std::string_view, std::string_view> kCodes[] = {
        {kTextCancelled, "cancelled"},
        {kTextCannotOpenPort, "port_unavailable"},
        {kTextPageSizeZero, "page_size_zero"},
        {kTextBadFlashWindow, "bad_flash_window"},
        {kTextNothingToWrite, "nothing_to_write"},
        {exchangeResultText(kNoAnswer), "no_answer"},
        {exchangeResultText(kWrongAnswer), "wrong_answer"},
        {exchangeResultText(kNoEcho), "no_echo"},
        {exchangeResultText(kFrameNotBuilt), "frame_not_built"},
        {exchangeResultText(kListNotRunnable), "list_not_runnable"},
        {"ОШИБКА #", "device_error"},
    };
    for (const auto& [part, code] : kCodes)
        if (contains(text, part))
            return code;
    return "other";
}

bool JsonMessages::showMessage(std::string_view title, std::string_view text, app::MessageKind kind) {
    // A box's "\r" line breaks and the blanks that indent them read as one line.
    std::string line = app::singleLineText(text);
    for (size_t at; (at = line.find("  ")) != std::string::npos;)
        line.erase(at, 1);
    emitMessage(kind, app::singleLineText(title), line);
    return true;
}

} // namespace cli
