#include "runtime/panel_handles.h"

PanelHandles gPanels;
