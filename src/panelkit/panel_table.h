#pragma once
// Loaded panels by handle, and their controls by name. GUI thread only.
#include "panelkit/panel_service.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <vector>

struct PanelEntry {
    QPointer<QWidget> root;
    int parent = 0;
    std::map<CtrlId, QPointer<QWidget>> controls;
};

// Names handed to callbacks must outlive every event; they live here for good.
CtrlId internName(const QString& name);

// Registers a freshly loaded panel and indexes its controls; returns its handle.
int addPanel(QWidget* root, int parent);
PanelEntry* panelEntry(int panel);
QWidget* panelRoot(int panel);
// Forgets a panel and every panel loaded as its child; returns the forgotten handles.
std::vector<int> removePanel(int panel);
std::vector<int> panelHandles();

// The named control, or nullptr with one line on stderr naming the caller.
QWidget* findControl(int panel, CtrlId name, const char* caller);
// Same without the complaint, for probing.
QWidget* lookupControl(int panel, CtrlId name);
