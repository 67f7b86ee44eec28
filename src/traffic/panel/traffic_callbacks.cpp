#include "traffic/panel/traffic_callbacks.h"

#include "base/atomic_file.h"
#include "panelkit/callback_registry.h"
#include "traffic/csv_rows.h"
#include "traffic/panel/ids/traffic_panel.h"
#include "traffic/panel/traffic_panel.h"
#include "traffic/traffic_tap.h"

#include <filesystem>

namespace {

constexpr const char* kSaveTitle = "Save Traffic";

bool switchedOn(int panel, CtrlId control) {
    int on = 0;
    GetCtrlVal(panel, control, &on);
    return on != 0;
}

std::string withCsvExtension(std::string path) {
    if (std::filesystem::path(path).extension().empty()) path += ".csv";
    return path;
}

} // namespace

void registerTrafficCallbacks(TrafficMonitor& monitor) {
    registerCallback("OpenTrafficPanel", OpenTrafficPanel);
    registerCallback("CloseTrafficPanel", CloseTrafficPanel);
    registerCallback("TrafficPause", boundTo<TrafficPause>(monitor));
    registerCallback("TrafficFailuresOnly", boundTo<TrafficFailuresOnly>(monitor));
    registerCallback("TrafficClear", boundTo<TrafficClear>(monitor));
    registerCallback("TrafficSave", boundTo<TrafficSave>(monitor));
    registerCallback("TrafficResetStatistics", boundTo<TrafficResetStatistics>(monitor));
}

int OpenTrafficPanel(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) DisplayPanel(TrafficPanel::handle);
    return 0;
}

int CloseTrafficPanel(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) HidePanel(TrafficPanel::handle);
    return 0;
}

int TrafficPause(TrafficMonitor& monitor, int panel, CtrlId control, int event) {
    if (event == EVENT_COMMIT) monitor.setPaused(switchedOn(panel, control));
    return 0;
}

int TrafficFailuresOnly(TrafficMonitor& monitor, int panel, CtrlId control, int event) {
    if (event == EVENT_COMMIT) monitor.setFailuresOnly(switchedOn(panel, control));
    return 0;
}

int TrafficClear(TrafficMonitor& monitor, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) monitor.clearTable();
    return 0;
}

int TrafficResetStatistics(TrafficMonitor& monitor, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    monitor.tap().statistics().reset();
    monitor.refreshStatistics();
    return 0;
}

// Every row the table holds, whatever the filter shows, as the trace writes them.
int TrafficSave(TrafficMonitor& monitor, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    std::string path;
    if (FileSelectPopup("", "*.csv", "*.csv", kSaveTitle, VAL_SAVE_BUTTON, 0, 1, 1, 1, &path) <=
            0 ||
        path.empty())
        return 0;
    path = withCsvExtension(path);
    std::error_code ec;
    if (std::filesystem::exists(path, ec) &&
        GenericMessagePopup(kSaveTitle, path + "\nalready exists. Replace it?", "Replace", "Cancel",
                            "", 2, 1, 2) != 1)
        return 0;
    std::string content = csvHeader();
    for (const TrafficRow& row : monitor.tableRows())
        content += csvLine(row);
    std::string why;
    if (!writeFileAtomically(path, content, &why))
        MessagePopup(kSaveTitle, "The traffic could not be saved:\n" + path + "\n" + why);
    return 0;
}
