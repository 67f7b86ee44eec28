#include "panelkit/panel_handles.h"

PanelHandles gPanels;
