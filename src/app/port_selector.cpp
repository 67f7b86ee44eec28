#include "app/port_selector.h"

#include "connection/panel/auto_reconnect.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"
#include "serial/port_list.h"
#include "serial/port_watcher.h"

#include <memory>

namespace {
std::unique_ptr<PortWatcher> gWatcher;
} // namespace

void refreshPortSelector(const DiscoveryRoots& roots) {
    setFoundPorts(discoverPorts(roots));
    // Numbers --com maps beyond the usual ones get items of their own.
    for (int n : selectorComNumbers())
        setRingItemText(MainPanel::handle, MainPanel::portSelector, n, comLabel(n));
}

void startPortWatch(Controller& c, const DiscoveryRoots& roots) {
    gWatcher = std::make_unique<PortWatcher>(roots, [&c, roots] {
        refreshPortSelector(roots);
        portsChanged(c);
    });
}

void stopPortWatch() {
    gWatcher.reset();
}
