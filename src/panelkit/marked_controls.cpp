// GetMarkedControls: controls found by a mark in their panel file.
#include "panelkit/gui_call.h"
#include "panelkit/panel_service.h"
#include "panelkit/panel_table.h"

std::vector<MarkedControl> GetMarkedControls(const char* mark) {
    return onGui([&] {
        std::vector<MarkedControl> found;
        for (int panel : panelHandles()) {
            const PanelEntry* entry = panelEntry(panel);
            if (!entry) continue;
            for (const auto& [name, w] : entry->controls)
                if (w && w->property(mark).toBool()) found.push_back({panel, name});
        }
        return found;
    });
}
