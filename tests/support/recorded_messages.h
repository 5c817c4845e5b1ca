#pragma once
// A message sink for tests: keeps every text and kind it is shown and gives a chosen answer to
// questions (every other kind is acknowledged).

#include "app/message_sink.h"

#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct RecordedMessages : app::MessageSink {
    std::vector<std::string> texts;
    std::vector<app::MessageKind> kinds;
    bool answer = true;

    bool showMessage(std::string_view, std::string_view text, app::MessageKind kind) override {
        texts.emplace_back(text);
        kinds.push_back(kind);
        return kind == app::MessageKind::Question ? answer : true;
    }
    // True when a text containing `part` was shown.
    bool saw(std::string_view part) const {
        for (const std::string& t : texts)
            if (t.find(part) != std::string::npos)
                return true;
        return false;
    }
    std::string last() const { return texts.empty() ? std::string() : texts.back(); }
};

} // namespace testsupport
