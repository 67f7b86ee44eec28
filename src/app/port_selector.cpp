#include "app/port_selector.h"

#include "connection/panel/auto_reconnect.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"
#include "serial/port_list.h"

void refreshPortSelector(const DiscoveryRoots& roots) {
    setFoundPorts(discoverPorts(roots));
    // Numbers --com maps beyond the usual ones get items of their own.
    for (int n : selectorComNumbers())
        setRingItemText(MainPanel::handle, MainPanel::portSelector, n, comLabel(n));
}

std::unique_ptr<PortWatcher> startPortWatch(AutoReconnect& reconnect, const DiscoveryRoots& roots) {
    return std::make_unique<PortWatcher>(roots, [&reconnect, roots] {
        refreshPortSelector(roots);
        reconnect.portsChanged();
    });
}
