#include "chart/panel/chart_image.h"

#include "chart/panel/ids/chart_panel.h"
#include "panelkit/strip_chart_calls.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace {

constexpr const char* kTitle = "Save Chart Image";

// A name typed without the extension still gets a picture viewers open.
std::string withPngExtension(std::string path) {
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return tail == ".png" ? path : path + ".png";
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

} // namespace

int SaveChartImage(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    std::string path;
    if (FileSelectPopup("", "*.png", "*.png", kTitle, VAL_SAVE_BUTTON, 0, 1, 1, 1, &path) <= 0 ||
        path.empty())
        return 0;
    path = withPngExtension(path);
    // The dialog does not ask; an earlier picture is not replaced unasked.
    if (exists(path) && GenericMessagePopup(kTitle, path + "\nalready exists. Replace it?",
                                            "Replace", "Cancel", "", 2, 1, 2) != 1)
        return 0;
    std::string why;
    if (SaveStripChartImage(ChartPanel::handle, ChartPanel::stripChart, path, &why) != 0)
        MessagePopup(kTitle, "The chart image could not be saved:\n" + path + "\n" + why);
    return 0;
}
