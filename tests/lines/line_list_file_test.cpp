// DftLine.prm: each port's list of controllers, kept beside DftCom.prm.
#include "lines/line_list_file.h"

#include "base/atomic_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LineListFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7lines.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    static std::string content() {
        std::string text;
        readSmallFile(kLineListFile, &text);
        return text;
    }
    static void write(const std::string& text) { std::ofstream(kLineListFile) << text; }

  private:
    std::filesystem::path dir_, old_;
};

} // namespace

TEST_F(LineListFile, EachPortsListRoundTripsAndTheOthersStay) {
    EXPECT_TRUE(loadLineLists().lists.empty());
    EXPECT_EQ(loadLineLists().problem, ""); // none kept yet is no fault
    std::string why;
    ASSERT_TRUE(saveLineList(3, {1, 2, 7}, &why)) << why;
    ASSERT_TRUE(saveLineList(12, {247}, &why)) << why;
    EXPECT_EQ(content(), "COM3: 1, 2, 7\nCOM12: 247\n");
    ASSERT_TRUE(saveLineList(3, {7, 1}, &why)) << why;
    const LineListsRead read = loadLineLists();
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(read.lists, (LineLists{{3, {7, 1}}, {12, {247}}}));
    // An emptied list leaves no line behind.
    ASSERT_TRUE(saveLineList(12, {}, &why)) << why;
    EXPECT_EQ(content(), "COM3: 7, 1\n");
    // A scan that found every id keeps them all on the port's one line.
    std::vector<uint16_t> every;
    for (uint16_t id = 1; id <= 247; ++id) every.push_back(id);
    ASSERT_TRUE(saveLineList(255, every, &why)) << why;
    EXPECT_EQ(loadLineLists().lists.at(255), every) << loadLineLists().problem;
    // Edited by hand: an editor's byte-order mark, comments.
    write("\xEF\xBB\xBF# the hall\nCOM3: 1, 2  # the kilns\n");
    EXPECT_EQ(loadLineLists().lists, (LineLists{{3, {1, 2}}})) << loadLineLists().problem;
}

TEST_F(LineListFile, ABadFileIsNamedListsNothingAndIsNotOverwritten) {
    const std::pair<const char*, const char*> bad[] = {
        {"COM3: 1, 2\nCOM4: 1, 248\n", "DftLine.prm line 2 has an id that is not 1 to 247"},
        {"COM3: 1 2\n", "DftLine.prm line 1 has no comma between two ids"},
        {"COM3: 5, 5\n", "DftLine.prm line 1 names id 5 twice"},
        {"3: 1\n", "DftLine.prm line 1 does not start with COM"},
        {"COM3 1\n", "DftLine.prm line 1 has no ':' after the COM number"},
        {"COM3: 1\nCOM3: 2\n", "DftLine.prm line 2 names COM3 a second time"},
        {"COM3: 0x01\n", "DftLine.prm line 1 has an id that is not 1 to 247"},
        {"COM3: 1\nCOM4: \x1b" "2\n",
         "DftLine.prm line 2 is refused: the line holds a control character"},
    };
    for (const auto& [text, problem] : bad) {
        write(text);
        const LineListsRead read = loadLineLists();
        EXPECT_EQ(read.problem, problem) << text;
        EXPECT_TRUE(read.lists.empty()) << text;
    }
    write("COM3: 1\nrubbish\n");
    std::string why;
    EXPECT_FALSE(saveLineList(3, {1, 2}, &why));
    EXPECT_EQ(why, "DftLine.prm line 2 does not start with COM; it is left as it is");
    EXPECT_EQ(content(), "COM3: 1\nrubbish\n");
    // A FIFO in its place is never opened: reading it would wait for ever.
    std::filesystem::remove(kLineListFile);
    ASSERT_EQ(mkfifo(kLineListFile, 0600), 0);
    EXPECT_NE(loadLineLists().problem.find("FIFO"), std::string::npos) << loadLineLists().problem;
}
