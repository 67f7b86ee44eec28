// The folders of src/ build on one another in one direction only: each may
// include its own headers and those of the folders below it, never one
// above. The table is the libraries' link order in the top CMakeLists.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// Each folder with the folders it builds on directly.
const std::map<std::string, std::set<std::string>> kBuildsOn = {
    {"base", {}},
    {"serial", {"base"}},
    {"widgets", {"base"}},
    {"widgets/strip_chart", {"widgets"}},
    {"panelkit", {"widgets", "widgets/strip_chart"}},
    {"link", {"serial"}},
    {"params", {"link"}},
    {"monitor", {"params"}},
    {"chart", {"monitor"}},
    {"program", {"params"}},
    {"pid", {"params"}},
    {"traffic", {"params"}},
    {"connection", {"serial"}},
    {"sim", {"link"}},
    {"lines", {"monitor"}},
    {"runs", {"monitor", "program"}},
    {"history", {"runs"}},
    {"history/chart", {"history"}},
    {"history/report", {"history/chart"}},
    {"alarms", {"runs"}},
    {"mainpanel", {"params", "panelkit"}},
    {"monitor/panel", {"monitor", "mainpanel"}},
    {"chart/panel", {"chart", "monitor/panel"}},
    {"program/panel", {"program", "runs", "mainpanel"}},
    {"pid/panel", {"pid", "mainpanel"}},
    {"service", {"mainpanel"}},
    {"traffic/panel", {"traffic", "mainpanel"}},
    {"connection/panel", {"connection", "chart/panel", "monitor/panel", "alarms"}},
    {"lines/panel", {"lines", "connection/panel"}},
    {"runs/panel", {"runs", "panelkit"}},
    {"history/panel", {"history/report", "alarms"}},
    {"cli",
     {"traffic", "connection", "chart", "program", "pid", "monitor", "sim", "runs", "history",
      "alarms"}},
    {"web", {"traffic", "history"}},
    {"serve", {"cli", "web"}},
    {"app",
     {"serve", "cli", "traffic/panel", "connection/panel", "chart/panel", "program/panel",
      "pid/panel", "service", "monitor/panel", "mainpanel", "sim", "lines/panel", "runs/panel",
      "history/panel", "history/report"}},
};

void addBelow(const std::string& folder, std::set<std::string>& below) {
    for (const std::string& next : kBuildsOn.at(folder))
        if (below.insert(next).second) addBelow(next, below);
}

// A panel's control names (ids/) belong to the folder that owns the panel.
std::string folderOf(fs::path file) {
    fs::path dir = file.parent_path();
    if (dir.filename() == "ids") dir = dir.parent_path();
    return dir.generic_string();
}

} // namespace

TEST(Layering, NoIncludeRunsAgainstTheFoldersOrder) {
    const fs::path src = fs::path(Q7_TESTS_DIR).parent_path() / "src";
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::set<std::string> seen;
    std::ostringstream wrong;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const fs::path path = entry.path();
        if (!entry.is_regular_file() || (path.extension() != ".h" && path.extension() != ".cpp"))
            continue;
        const std::string folder = folderOf(fs::relative(path, src));
        seen.insert(folder);
        const auto known = kBuildsOn.find(folder);
        if (known == kBuildsOn.end()) {
            wrong << folder << " is a folder the table does not know\n";
            continue;
        }
        std::set<std::string> allowed{folder};
        addBelow(folder, allowed);
        std::ifstream in(path);
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            std::smatch m;
            if (!std::regex_search(line, m, include)) continue;
            const std::string target = folderOf(m[1].str());
            if (target.empty() || allowed.count(target)) continue;
            wrong << fs::relative(path, src).generic_string() << ":" << n << " includes "
                  << m[1].str() << "\n";
        }
    }
    EXPECT_EQ(wrong.str(), "");
    EXPECT_GT(seen.size(), 20u);
}

// No folder holds more than a fifth of the code.
TEST(Layering, NoFolderHoldsMoreThanAFifth) {
    const fs::path src = fs::path(Q7_TESTS_DIR).parent_path() / "src";
    std::map<std::string, long> lines;
    long total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const fs::path path = entry.path();
        if (!entry.is_regular_file() || (path.extension() != ".h" && path.extension() != ".cpp"))
            continue;
        std::ifstream in(path);
        std::string line;
        long n = 0;
        while (std::getline(in, line))
            ++n;
        lines[folderOf(fs::relative(path, src))] += n;
        total += n;
    }
    for (const auto& [folder, n] : lines)
        EXPECT_LE(n * 5, total) << folder << " holds " << n << " of " << total << " lines";
}

// Qt Designer and uic include the header a panel names for each of its own
// widgets; it must be the one that declares the class.
TEST(Layering, PanelsNameTheHeadersOfTheirWidgets) {
    const fs::path root = fs::path(Q7_TESTS_DIR).parent_path();
    const std::regex widget(
        R"re(<class>(\w+)</class>\s*<extends>\w+</extends>\s*<header>([^<]+)</header>)re");
    int named = 0;
    for (const auto& entry : fs::directory_iterator(root / "panels")) {
        if (entry.path().extension() != ".ui") continue;
        std::ifstream in(entry.path());
        const std::string ui{std::istreambuf_iterator<char>(in), {}};
        for (std::sregex_iterator m(ui.begin(), ui.end(), widget), end; m != end; ++m, ++named) {
            std::ifstream header(root / "src" / (*m)[2].str());
            const std::string text{std::istreambuf_iterator<char>(header), {}};
            EXPECT_NE(text.find("class " + (*m)[1].str() + " "), std::string::npos)
                << entry.path().filename() << " names " << (*m)[2] << " for " << (*m)[1];
        }
    }
    EXPECT_GT(named, 0);
}
