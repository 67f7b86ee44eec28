// The panel files are found beside a build-tree binary and in an installed
// program's share folder; an installed program never reads the build tree.
#include "panelkit/panel_dirs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class PanelDirs : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7panels.XXXXXX";
        ASSERT_TRUE(mkdtemp(tmpl));
        root = tmpl;
    }
    void TearDown() override { fs::remove_all(root); }
    QString dir(const std::string& rel) {
        fs::create_directories(root + "/" + rel);
        return QString::fromStdString(root + "/" + rel);
    }
    QString put(const std::string& rel) {
        fs::create_directories(fs::path(root + "/" + rel).parent_path());
        std::ofstream(root + "/" + rel) << "<ui/>";
        return QString::fromStdString(root + "/" + rel);
    }
    std::string root;
};

TEST_F(PanelDirs, InstalledUnderAnyPrefix) {
    const QString installed = put("usr/share/q7/panels/main.ui");
    EXPECT_EQ(findPanelFile("main.ui", dir("usr/bin")), installed);
    EXPECT_TRUE(findPanelFile("chart.ui", dir("usr/bin")).isEmpty())
        << "an installed program finds nothing in the build tree it came from";
    // Panels beside the binary come first, so one can try an edited panel.
    const QString beside = put("usr/bin/panels/main.ui");
    EXPECT_EQ(findPanelFile("main.ui", dir("usr/bin")), beside);
}

TEST_F(PanelDirs, BuildTreeBinariesFindTheBuildsCopy) {
    const QString built = put("build/panels/main.ui");
    EXPECT_EQ(findPanelFile("main.ui", dir("build")), built);

    // Test and benchmark programs sit deeper in the real build tree.
    const char* buildDir = std::getenv("Q7_BINARY_DIR");
    if (!buildDir) GTEST_SKIP() << "run by CTest, which names the build folder";
    const QString deep = QString::fromStdString(std::string(buildDir) + "/tests");
    const QString found = findPanelFile("main.ui", deep);
    ASSERT_FALSE(found.isEmpty());
    EXPECT_TRUE(fs::exists(found.toStdString()));
}

} // namespace
