// The scripted responder stands in for the operator: it sees exactly what the
// operator would and answers in order.
#include "support/gui_fixture.h"

namespace {

class Popups : public GuiTest {};

TEST_F(Popups, ScriptRecordsAndAnswersFromTheControlThread) {
    popups.buttons = {2};
    popups.files = {{VAL_NEW_FILE_SELECTED, "/tmp/run1.dat"}};
    int generic = 0, defaulted = 0, file = -1, message = -1;
    std::string path;
    postTask([&] {
        message = MessagePopup("Line status", "Frame\t0\nParity\t1");
        generic =
            GenericMessagePopup("Save?", "Save the parameters?", "Yes", "No", "Cancel", 1, 1, 3);
        defaulted = GenericMessagePopup("Again?", "text", "Yes", "No", "", 1, 1, 2);
        file = FileSelectPopup("/tmp", "*.dat", "*.dat; *.txt", "Data log", VAL_SAVE_BUTTON, 0, 0,
                               1, 1, &path);
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(message, 0);
    EXPECT_EQ(generic, 2);
    EXPECT_EQ(defaulted, 2) << "unscripted generic popup takes its escape button";
    EXPECT_EQ(file, VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, "/tmp/run1.dat");
    ASSERT_EQ(popups.shown.size(), 4u);
    EXPECT_EQ(popups.shown[0].kind, "message");
    EXPECT_EQ(popups.shown[0].title, "Line status");
    EXPECT_EQ(popups.shown[0].text, "Frame\t0\nParity\t1");
    EXPECT_EQ(popups.shown[1].kind, "generic");
    EXPECT_EQ(popups.shown[1].text, "Save the parameters?");
    EXPECT_EQ(popups.shown[3].kind, "file");
    EXPECT_EQ(popups.shown[3].title, "Data log");
}

TEST_F(Popups, UnscriptedFileSelectionCancels) {
    std::string path = "unchanged";
    EXPECT_EQ(FileSelectPopup("", "*.prm", "*.prm", "Load", VAL_LOAD_BUTTON, 0, 0, 1, 0, &path),
              VAL_NO_FILE_SELECTED);
    EXPECT_EQ(path, "unchanged");
}

} // namespace
