#include "panelkit/panel_table.h"

#include <cstdio>
#include <set>
#include <string>

namespace {
std::map<int, PanelEntry> gPanelsByHandle;
int gNextHandle = 1;

bool isOwnControl(QWidget* w, QWidget* root) {
    const QString name = w->objectName();
    // Qt names the parts of composite widgets "qt_..."; they are not controls.
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && w->window() == root;
}
} // namespace

CtrlId internName(const QString& name) {
    static std::set<std::string> names;
    return *names.insert(name.toStdString()).first;
}

int addPanel(QWidget* root, int parent) {
    const int handle = gNextHandle++;
    PanelEntry& entry = gPanelsByHandle[handle];
    entry.root = root;
    entry.parent = parent;
    for (QWidget* w : root->findChildren<QWidget*>())
        if (isOwnControl(w, root)) entry.controls[internName(w->objectName())] = w;
    return handle;
}

PanelEntry* panelEntry(int panel) {
    auto it = gPanelsByHandle.find(panel);
    if (it == gPanelsByHandle.end() || !it->second.root) return nullptr;
    return &it->second;
}

QWidget* panelRoot(int panel) {
    PanelEntry* e = panelEntry(panel);
    return e ? e->root.data() : nullptr;
}

std::vector<int> removePanel(int panel) {
    std::vector<int> gone;
    if (!gPanelsByHandle.erase(panel)) return gone;
    gone.push_back(panel);
    std::vector<int> children;
    for (const auto& [handle, entry] : gPanelsByHandle)
        if (entry.parent == panel) children.push_back(handle);
    for (int child : children)
        for (int h : removePanel(child))
            gone.push_back(h);
    return gone;
}

std::vector<int> panelHandles() {
    std::vector<int> handles;
    for (const auto& [handle, entry] : gPanelsByHandle)
        handles.push_back(handle);
    return handles;
}

QWidget* lookupControl(int panel, CtrlId name) {
    PanelEntry* e = panelEntry(panel);
    if (!e) return nullptr;
    auto it = e->controls.find(name);
    return it == e->controls.end() ? nullptr : it->second.data();
}

QWidget* findControl(int panel, CtrlId name, const char* caller) {
    if (!panelEntry(panel)) {
        std::fprintf(stderr, "q7: %s: no panel %d\n", caller, panel);
        return nullptr;
    }
    QWidget* w = lookupControl(panel, name);
    if (!w)
        std::fprintf(stderr, "q7: %s: panel %d has no control '%.*s'\n", caller, panel,
                     int(name.size()), name.data());
    return w;
}
