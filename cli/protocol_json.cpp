#include "cli/protocol_json.h"

#include "base/crc_presets.h"

#include <cstdio>

namespace cli {
namespace {

std::string hex32(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

std::string join(const std::string& path, const char* key) {
    return path.empty() ? key : path + "." + key;
}

// Reading with a path for messages ("commands[2].answer_timeout").
class Reader {
  public:
    explicit Reader(std::string& error) : m_error(error) {}

    bool fail(const std::string& path, const std::string& what) {
        m_error = path + ": " + what;
        return false;
    }

    const Json* member(const Json& object, const std::string& path, const char* key) {
        if (!object.is_object()) {
            fail(path, "expected an object");
            return nullptr;
        }
        auto it = object.find(key);
        if (it == object.end()) {
            fail(join(path, key), "missing");
            return nullptr;
        }
        return &*it;
    }

    bool string(const Json& object, const std::string& path, const char* key, std::string& out) {
        const Json* v = member(object, path, key);
        if (!v)
            return false;
        if (!v->is_string())
            return fail(join(path, key), "expected a string");
        out = v->get<std::string>();
        return true;
    }

    // An integer given as a JSON number or as text (decimal, or hexadecimal after 0x, x or $).
    bool integer(const Json& v, const std::string& path, int64_t min, int64_t max, int64_t& out) {
        if (v.is_number_integer()) {
            out = v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)
                      ? INT64_MAX
                      : v.get<int64_t>();
        } else if (v.is_string()) {
            auto n = base::parseCrcNumber(v.get<std::string>());
            if (!n)
                return fail(path, "'" + v.get<std::string>() + "' is not a number");
            const std::string text = v.get<std::string>();
            const bool negative = text.find('-') != std::string::npos;
            out = negative ? static_cast<int64_t>(static_cast<int32_t>(*n)) : static_cast<int64_t>(*n);
        } else {
            return fail(path, "expected an integer");
        }
        if (out < min || out > max)
            return fail(path, std::to_string(out) + " is outside " + std::to_string(min) + ".." +
                                  std::to_string(max));
        return true;
    }

    bool integer(const Json& object, const std::string& path, const char* key, int64_t min, int64_t max,
                 int64_t& out) {
        const Json* v = member(object, path, key);
        return v && integer(*v, join(path, key), min, max, out);
    }

    // true/false, or 0/1.
    bool boolean(const Json& object, const std::string& path, const char* key, bool& out) {
        const Json* v = member(object, path, key);
        if (!v)
            return false;
        if (v->is_boolean()) {
            out = v->get<bool>();
            return true;
        }
        if (v->is_number_integer() && (v->get<int64_t>() == 0 || v->get<int64_t>() == 1)) {
            out = v->get<int64_t>() == 1;
            return true;
        }
        return fail(join(path, key), "expected true or false");
    }

    const Json* array(const Json& object, const std::string& path, const char* key) {
        const Json* v = member(object, path, key);
        if (v && !v->is_array()) {
            fail(join(path, key), "expected an array");
            return nullptr;
        }
        return v;
    }

    // Reads each element of the array `key` with `read(element, its path)`, such as
    // "action_lists[1].steps[0]"; stops at the first that fails.
    template <typename Read>
    bool each(const Json& object, const std::string& path, const char* key, Read read) {
        const Json* list = array(object, path, key);
        if (!list)
            return false;
        for (size_t i = 0; i < list->size(); ++i)
            if (!read((*list)[i], join(path, key) + "[" + std::to_string(i) + "]"))
                return false;
        return true;
    }

  private:
    std::string& m_error;
};

bool readCommand(Reader& r, const Json& j, const std::string& path, protocol::TProtocol& p) {
    std::string name, command, answer, exceptn;
    int64_t mode = 0, timeout = 0, interval = 0;
    if (!r.string(j, path, "name", name) || !r.string(j, path, "command", command) ||
        !r.string(j, path, "answer", answer) || !r.string(j, path, "exception", exceptn) ||
        !r.integer(j, path, "exception_mode", 0, 65535, mode) ||
        !r.integer(j, path, "answer_timeout", 0, 65535, timeout) ||
        !r.integer(j, path, "frame_interval", 0, 65535, interval))
        return false;
    protocol::TprCOMMAND& c = p.Commands.Add();
    c.Name = name;
    c.ExceptionMode = static_cast<uint16_t>(mode);
    c.AnswerTimeout = static_cast<int32_t>(timeout);
    c.FrameInterval = static_cast<int32_t>(interval);
    p.Commands.setCommand(c, command);
    p.Commands.setAnswer(c, answer);
    p.Commands.setExceptn(c, exceptn);
    return true;
}

// A step may name its command instead of giving its index.
bool readStep(Reader& r, const Json& step, const std::string& path, const protocol::TProtocol& p,
              protocol::TVLMAction& a) {
    int64_t command = 0, ignore = -1;
    bool enabled = true;
    const Json* cmd = r.member(step, path, "command");
    if (!cmd)
        return false;
    if (cmd->is_string() && !base::parseCrcNumber(cmd->get<std::string>())) {
        command = p.Commands.IndexOfName(cmd->get<std::string>());
        if (command < 0)
            return r.fail(path + ".command", "no command named '" + cmd->get<std::string>() + "'");
    } else if (!r.integer(*cmd, path + ".command", 0, 65535, command)) {
        return false;
    }
    if (!r.integer(step, path, "ignore_list", -1, 65535, ignore) ||
        !r.boolean(step, path, "enabled", enabled))
        return false;
    a.StepCommands.push_back(static_cast<int32_t>(command));
    a.StepIgnoreLists.push_back(static_cast<int32_t>(ignore));
    a.StepEnabled.push_back(enabled ? 1 : 0);
    return true;
}

bool readActionList(Reader& r, const Json& j, const std::string& path, protocol::TProtocol& p) {
    protocol::TVLMAction a;
    if (!r.string(j, path, "name", a.Name) ||
        !r.each(j, path, "steps",
                [&](const Json& step, const std::string& spath) { return readStep(r, step, spath, p, a); }))
        return false;
    a.StepCount = static_cast<int32_t>(a.StepCommands.size());
    p.ActionLists.push_back(std::move(a));
    return true;
}

bool readIgnoreList(Reader& r, const Json& list, const std::string& path, protocol::TProtocol& p) {
    if (!list.is_array())
        return r.fail(path, "expected an array of codes");
    protocol::TIgnoreList l;
    for (size_t k = 0; k < list.size(); ++k) {
        int64_t code = 0;
        if (!r.integer(list[k], path + "[" + std::to_string(k) + "]", 0, 65535, code))
            return false;
        l.Codes.push_back(static_cast<int32_t>(code));
    }
    p.IgnoreLists.push_back(std::move(l));
    return true;
}

bool readException(Reader& r, const Json& j, const std::string& path, protocol::TProtocol& p) {
    int64_t code = 0;
    std::string text;
    if (!r.integer(j, path, "code", 0, 65535, code) || !r.string(j, path, "text", text))
        return false;
    p.Exceptions.push_back(protocol::MakeException(static_cast<int32_t>(code), text));
    return true;
}

bool readCrc(Reader& r, const Json& json, protocol::TProtocol& p) {
    const Json* crc = r.member(json, "", "crc");
    if (!crc)
        return false;
    int64_t width = 0, polynom = 0, initial = 0, xorValue = 0;
    bool reflected = false, swap = false;
    if (!r.integer(*crc, "crc", "width", 0, 65535, width) ||
        !r.integer(*crc, "crc", "polynom", 0, 0xFFFFFFFF, polynom) ||
        !r.integer(*crc, "crc", "initial", 0, 0xFFFFFFFF, initial) ||
        !r.boolean(*crc, "crc", "reflected", reflected) || !r.boolean(*crc, "crc", "table_swap", swap) ||
        !r.integer(*crc, "crc", "xor_value", 0, 0xFFFFFFFF, xorValue))
        return false;
    p.CRCGenerator.SetParameters(static_cast<int32_t>(width), static_cast<uint32_t>(polynom),
                                 static_cast<uint32_t>(xorValue), swap, reflected,
                                 static_cast<uint32_t>(initial));
    return true;
}

} // namespace

Json protocolToJson(const protocol::TProtocol& p, bool withChecks) {
    Json out = Json::object();
    out["comment"] = p.Comment;
    Json commands = Json::array();
    for (size_t i = 0; i < p.Commands.Count(); ++i) {
        const protocol::TprCOMMAND& c = p.Commands[i];
        Json cmd = Json::object();
        cmd["name"] = c.Name;
        cmd["command"] = c.storedCommand();
        cmd["answer"] = c.storedAnswer();
        cmd["exception"] = c.storedExceptn();
        cmd["exception_mode"] = c.ExceptionMode;
        cmd["answer_timeout"] = c.AnswerTimeout;
        cmd["frame_interval"] = c.FrameInterval;
        if (withChecks)
            cmd["check"] = Json{{"command", c.compiledCommand().checkResult},
                                {"answer", c.compiledAnswer().checkResult},
                                {"exception", c.compiledExceptn().checkResult}};
        commands.push_back(std::move(cmd));
    }
    out["commands"] = std::move(commands);

    Json lists = Json::array();
    for (const protocol::TVLMAction& a : p.ActionLists) {
        Json steps = Json::array();
        // A list whose per-step lists differ in length shows as many steps as its longest list;
        // missing entries show as -1 (command and ignore list) and false.
        const size_t n = std::max({a.StepCommands.size(), a.StepIgnoreLists.size(), a.StepEnabled.size()});
        for (size_t s = 0; s < n; ++s) {
            Json step = Json::object();
            step["command"] = s < a.StepCommands.size() ? a.StepCommands[s] : -1;
            // 65535 is how a file holds "none" (-1); both show as -1.
            const int32_t ignore = s < a.StepIgnoreLists.size() ? a.StepIgnoreLists[s] : -1;
            step["ignore_list"] = ignore == 65535 ? -1 : ignore;
            const int enabled = s < a.StepEnabled.size() ? a.StepEnabled[s] : 0;
            if (enabled <= 1)
                step["enabled"] = enabled == 1;
            else
                step["enabled"] = enabled;
            steps.push_back(std::move(step));
        }
        lists.push_back(Json{{"name", a.Name}, {"steps", std::move(steps)}});
    }
    out["action_lists"] = std::move(lists);

    Json ignore = Json::array();
    for (const protocol::TIgnoreList& l : p.IgnoreLists)
        ignore.push_back(l.Codes);
    out["ignore_lists"] = std::move(ignore);

    Json exceptions = Json::array();
    for (const protocol::TPrException& e : p.Exceptions)
        exceptions.push_back(Json{{"code", e.Code}, {"text", e.Text}});
    out["exceptions"] = std::move(exceptions);

    const base::TCRCGenerator& g = p.CRCGenerator;
    out["crc"] = Json{
        {"width", g.Width()},         {"polynom", hex32(g.Polynom())}, {"initial", hex32(g.Initial())},
        {"reflected", g.Reflected()}, {"table_swap", g.tableSwap()},   {"xor_value", hex32(g.XORvalue())}};
    return out;
}

bool protocolFromJson(const Json& json, protocol::TProtocol& p, std::string& error) {
    Reader r(error);
    if (!json.is_object())
        return r.fail("(top)", "expected an object");
    protocol::ClearProtocol(p);
    // Each section in turn, as the stored file orders them: steps name commands read before them.
    using Section = bool (*)(Reader&, const Json&, const std::string&, protocol::TProtocol&);
    const std::pair<const char*, Section> sections[] = {
        {"commands", readCommand},
        {"action_lists", readActionList},
        {"ignore_lists", readIgnoreList},
        {"exceptions", readException},
    };
    if (!r.string(json, "", "comment", p.Comment))
        return false;
    for (const auto& [key, read] : sections)
        if (!r.each(json, "", key,
                    [&](const Json& j, const std::string& path) { return read(r, j, path, p); }))
            return false;
    return readCrc(r, json, p);
}

} // namespace cli
