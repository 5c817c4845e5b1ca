#include "app/exchange_link.h"

#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/settings_store.h"

namespace app {

namespace {

constexpr std::string_view kAnswerEndGap = "gap";

} // namespace

void ExchangeLink::deviceLogLine(std::string_view line) {
    m_log.AddDeviceLogLine(line);
}

void ExchangeLink::rawAnswer(std::span<const std::uint8_t> bytes) {
    m_log.ShowRawAnswer(bytes);
}

void ExchangeLink::error(std::string_view title, std::string_view text) {
    if (m_settings.readBool(Setting::DontShowErrMsgs)) {
        std::string line(title);
        line += " - ";
        line += text;
        m_log.AddDeviceLogLine(line);
        return;
    }
    std::string boxText(title);
    boxText += "\r";
    boxText.append(19, ' ');
    boxText += text;
    m_messages.showMessage("", boxText, MessageKind::Error);
}

bool ExchangeLink::echo() const {
    return m_settings.readBool(Setting::Echo);
}

std::string ExchangeLink::password() const {
    return m_state.password;
}

bool ExchangeLink::answerEndsByTemplate() const {
    return m_settings.readString(Setting::AnswerEnd, m_state.activeProfile) != kAnswerEndGap;
}

bool ExchangeLink::repeatGarbled() const {
    return repeatGarbledOverride.value_or(m_settings.readBool(Setting::RepeatGarbled, m_state.activeProfile));
}

} // namespace app
