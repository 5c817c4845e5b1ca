// The layers may only use the layers below them. Every #include of a project header and every
// namespace a file opens (forward declarations included) must name a layer the table allows, and Qt
// headers appear only in the window tree, so a new upward arrow fails here before it turns into a
// link-order or design problem.

#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Folder (layer) -> the layers its files may use besides their own.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"base", {}},
    {"protocol", {"base"}},
    {"image", {"base"}},
    {"exchange", {"base", "protocol"}},
    {"app", {"base", "protocol", "image", "exchange"}},
    {"app/ui", {"base", "protocol", "image", "exchange", "app"}},
    // A dry run answers as the simulated device would, from its library.
    {"cli", {"base", "protocol", "image", "exchange", "app", "sim"}},
    // The simulator's device model needs only base; its command line checks identification texts
    // with the exchange's record rules.
    {"sim", {"base", "exchange"}},
};

// The layer a path inside the source tree belongs to ("app/ui" before "app").
std::string layerOf(const std::string& relative) {
    if (relative.rfind("app/ui/", 0) == 0)
        return "app/ui";
    const auto slash = relative.find('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

// The layer a namespace name stands for; empty for namespaces that are no layer (std, anonymous).
std::string layerOfNamespace(const std::string& name) {
    if (name.rfind("app::ui", 0) == 0)
        return "app/ui";
    const std::string head = name.substr(0, name.find("::"));
    return kAllowed.count(head) != 0 ? head : std::string();
}

struct Violation {
    std::string file;
    int line;
    std::string text;
};

std::vector<Violation> violationsIn(const fs::path& root, const fs::path& file) {
    const std::string relative = fs::relative(file, root).generic_string();
    const std::string layer = layerOf(relative);
    const std::set<std::string>& allowed = kAllowed.at(layer);
    auto permitted = [&](const std::string& used) {
        return used.empty() || used == layer || allowed.count(used) != 0 ||
               (layer == "app/ui" && used == "app/ui");
    };
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    // Qt stays in the window tree: below it, the standard library and POSIX only.
    static const std::regex qtHeader(R"(^\s*#\s*include\s*<Q)");
    static const std::regex opened(R"(^\s*namespace\s+([A-Za-z_][\w:]*)\s*\{)");
    std::vector<Violation> found;
    std::ifstream in(file);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        std::smatch m;
        if (std::regex_search(text, m, include) && !permitted(layerOf(m[1].str())))
            found.push_back({relative, number, text});
        else if (layer != "app/ui" && std::regex_search(text, qtHeader))
            found.push_back({relative, number, text});
        else if (std::regex_search(text, m, opened) && !permitted(layerOfNamespace(m[1].str())))
            found.push_back({relative, number, text});
    }
    return found;
}

TEST(Layering, EveryIncludeAndDeclarationPointsDownwards) {
    const fs::path root = testsupport::sourceDir();
    int files = 0;
    for (const char* top : {"base", "protocol", "image", "exchange", "app", "cli", "sim"}) {
        const fs::path folder = root / top;
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
                continue;
            ++files;
            for (const Violation& v : violationsIn(root, entry.path()))
                ADD_FAILURE() << v.file << ":" << v.line << ": " << v.text;
        }
    }
    EXPECT_GT(files, 100);
}

} // namespace
