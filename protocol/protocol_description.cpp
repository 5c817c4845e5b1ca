#include "protocol/protocol_description.h"

#include <algorithm>

namespace protocol {

TProtocol::TProtocol() {
    bindCommands();
}

TProtocol::TProtocol(const TProtocol& other)
    : Comment(other.Comment), ActionLists(other.ActionLists), Commands(other.Commands),
      Exceptions(other.Exceptions), IgnoreLists(other.IgnoreLists), CRCGenerator(other.CRCGenerator) {
    bindCommands();
}

TProtocol& TProtocol::operator=(const TProtocol& other) {
    if (this != &other) {
        Comment = other.Comment;
        ActionLists = other.ActionLists;
        Commands = other.Commands;
        Exceptions = other.Exceptions;
        IgnoreLists = other.IgnoreLists;
        CRCGenerator = other.CRCGenerator;
        bindCommands();
    }
    return *this;
}

// The frames of a description are always checked with the description's own CRC parameters.
void TProtocol::bindCommands() {
    Commands.setCrcGenerator(&CRCGenerator);
}

void ClearProtocol(TProtocol& protocol) {
    protocol.Comment.clear();
    protocol.ActionLists.clear();
    protocol.Commands.Clear();
    protocol.Exceptions.clear();
    protocol.IgnoreLists.clear();
}

void PrepareActionLists(TProtocol& protocol) {
    protocol.ActionLists.assign(kActionListCount, TVLMAction{});
    for (int i = 0; i < kActionListCount; ++i)
        InitAction(std::to_string(i), protocol.ActionLists[static_cast<size_t>(i)]);
}

void InitAction(const std::string& name, TVLMAction& action) {
    action = TVLMAction{};
    action.Name = name;
}

namespace {

// Operations that insert or remove steps only make sense while the three lists agree with StepCount.
bool consistent(const TVLMAction& a) {
    const size_t n = static_cast<size_t>(std::max(a.StepCount, 0));
    return a.StepCount >= 0 && a.StepCommands.size() == n && a.StepIgnoreLists.size() == n &&
           a.StepEnabled.size() == n;
}

} // namespace

int32_t AddStep(TVLMAction& action, int32_t command, bool enabled) {
    if (!consistent(action))
        return -1;
    action.StepCommands.push_back(command);
    action.StepIgnoreLists.push_back(-1);
    action.StepEnabled.push_back(enabled ? 1 : 0);
    return action.StepCount++;
}

bool InsertStep(TVLMAction& action, int32_t position, int32_t command, bool enabled) {
    if (!consistent(action) || position < 0 || position > action.StepCount)
        return false;
    action.StepCommands.insert(action.StepCommands.begin() + position, command);
    action.StepIgnoreLists.insert(action.StepIgnoreLists.begin() + position, -1);
    action.StepEnabled.insert(action.StepEnabled.begin() + position, enabled ? 1 : 0);
    ++action.StepCount;
    return true;
}

bool DeleteStep(TVLMAction& action, int32_t position) {
    if (!consistent(action) || position < 0 || position >= action.StepCount)
        return false;
    action.StepCommands.erase(action.StepCommands.begin() + position);
    action.StepIgnoreLists.erase(action.StepIgnoreLists.begin() + position);
    action.StepEnabled.erase(action.StepEnabled.begin() + position);
    --action.StepCount;
    return true;
}

bool MoveStep(TVLMAction& action, int32_t target, int32_t source) {
    if (!consistent(action) || source < 0 || source >= action.StepCount || target < 0 ||
        target >= action.StepCount)
        return false;
    const int32_t command = action.StepCommands[static_cast<size_t>(source)];
    const int32_t ignore = action.StepIgnoreLists[static_cast<size_t>(source)];
    const uint8_t enabled = action.StepEnabled[static_cast<size_t>(source)];
    DeleteStep(action, source);
    InsertStep(action, target, command, enabled != 0);
    action.StepIgnoreLists[static_cast<size_t>(target)] = ignore;
    return true;
}

int32_t AddIgnoreList(TProtocol& protocol) {
    protocol.IgnoreLists.emplace_back();
    return static_cast<int32_t>(protocol.IgnoreLists.size()) - 1;
}

void DeleteIgnoreList(TProtocol& protocol, int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < protocol.IgnoreLists.size())
        protocol.IgnoreLists.erase(protocol.IgnoreLists.begin() + index);
}

int32_t AddIgnoreCode(TProtocol& protocol, int32_t index, int32_t code) {
    if (index < 0 || static_cast<size_t>(index) >= protocol.IgnoreLists.size())
        return -1;
    auto& codes = protocol.IgnoreLists[static_cast<size_t>(index)].Codes;
    codes.push_back(code);
    return static_cast<int32_t>(codes.size()) - 1;
}

int32_t DeleteIgnoreCode(TProtocol& protocol, int32_t index, int32_t position) {
    if (index < 0 || static_cast<size_t>(index) >= protocol.IgnoreLists.size())
        return -1;
    auto& codes = protocol.IgnoreLists[static_cast<size_t>(index)].Codes;
    if (position < 0 || static_cast<size_t>(position) >= codes.size())
        return -1;
    codes.erase(codes.begin() + position);
    return static_cast<int32_t>(codes.size());
}

TPrException MakeException(int32_t code, const std::string& text) {
    return TPrException{code, text};
}

int32_t FindException(const std::vector<TPrException>& exceptions, int32_t code) {
    for (size_t i = exceptions.size(); i-- > 0;)
        if (exceptions[i].Code == code)
            return static_cast<int32_t>(i);
    return -1;
}

const TIgnoreList* stepIgnoreList(const TProtocol& protocol, const TVLMAction& action, int32_t step) {
    if (step < 0 || static_cast<size_t>(step) >= action.StepIgnoreLists.size())
        return nullptr;
    const int32_t index = action.StepIgnoreLists[static_cast<size_t>(step)];
    if (index < 0 || static_cast<size_t>(index) >= protocol.IgnoreLists.size())
        return nullptr;
    return &protocol.IgnoreLists[static_cast<size_t>(index)];
}

std::optional<std::string> actionListFault(const TProtocol& protocol, int32_t listIndex) {
    if (listIndex < 0 || static_cast<size_t>(listIndex) >= protocol.ActionLists.size())
        return "Список действий " + std::to_string(listIndex) + " отсутствует в описании протокола";
    const TVLMAction& a = protocol.ActionLists[static_cast<size_t>(listIndex)];
    const std::string list = "Список действий " + std::to_string(listIndex) + " \"" + a.Name + "\"";
    if (!consistent(a))
        return list + ": число шагов (" + std::to_string(a.StepCount) +
               ") не совпадает с длиной списков шага (команды " + std::to_string(a.StepCommands.size()) +
               ", списки игнорирования " + std::to_string(a.StepIgnoreLists.size()) + ", флаги " +
               std::to_string(a.StepEnabled.size()) + ")";
    const int32_t commandCount = static_cast<int32_t>(protocol.Commands.Count());
    for (int32_t step = 0; step < a.StepCount; ++step) {
        const int32_t command = a.StepCommands[static_cast<size_t>(step)];
        if (command < 0 || command >= commandCount)
            return list + ", шаг " + std::to_string(step + 1) + ": нет команды с номером " +
                   std::to_string(command) + " (команд в описании: " + std::to_string(commandCount) + ")";
    }
    return std::nullopt;
}

} // namespace protocol
