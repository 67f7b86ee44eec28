#include "panelkit/profile_plot_calls.h"

#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_table.h"

namespace {

ProfilePlot* plotOf(int panel, CtrlId plot, const char* caller) {
    return qobject_cast<ProfilePlot*>(findControl(panel, plot, caller));
}

} // namespace

int ShowProfilePlot(int panel, CtrlId plot, ProfileView view) {
    return onGui([&] {
        ProfilePlot* p = plotOf(panel, plot, "ShowProfilePlot");
        if (!p) return int(kPanelNoControl);
        p->show(std::move(view));
        return 0;
    });
}

ProfileView GetProfilePlot(int panel, CtrlId plot) {
    return onGui([&] {
        const ProfilePlot* p = plotOf(panel, plot, "GetProfilePlot");
        return p ? p->view() : ProfileView{};
    });
}
