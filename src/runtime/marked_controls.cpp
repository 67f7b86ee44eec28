// GetMarkedControls: controls found by a mark in their panel file.
#include "runtime/gui_call.h"
#include "runtime/panel_service.h"
#include "runtime/panel_table.h"

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
