#pragma once
// Handles of the panels, loaded once at start-up.
struct PanelHandles {
    int main = 0;
    int debug = 0;
    int chart = 0;
    int yscale = 0;
    int wait = 0;
    int stepProgram = 0;
    int logSetup = 0;
    int pid = 0;
    int engCode = 0;
    int traffic = 0;
    int connection = 0;
};
extern PanelHandles gPanels;
