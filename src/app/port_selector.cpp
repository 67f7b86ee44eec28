#include "app/port_selector.h"

#include "connection/auto_reconnect.h"
#include "params/ids/main_panel.h"
#include "runtime/com_map.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_runtime.h"
#include "runtime/port_list.h"
#include "runtime/port_watcher.h"

#include <memory>

namespace {
std::unique_ptr<PortWatcher> gWatcher;
} // namespace

void refreshPortSelector(const DiscoveryRoots& roots) {
    setFoundPorts(discoverPorts(roots));
    // Numbers --com maps beyond the usual ones get items of their own.
    for (int n : selectorComNumbers())
        setRingItemText(gPanels.main, MainPanel::portSelector, n, comLabel(n));
}

void startPortWatch(const DiscoveryRoots& roots) {
    gWatcher = std::make_unique<PortWatcher>(roots, [roots] {
        refreshPortSelector(roots);
        portsChanged();
    });
}

void stopPortWatch() {
    gWatcher.reset();
}
