#pragma once
// The Line panel's scan display: progress, and a Cancel that is taken at
// once. The scan runs on the control thread, so its Cancel cannot wait in
// that thread's queue behind it: the button sets a flag on the GUI thread
// that the scan reads between ids. Any thread.
#include <cstddef>

void wireScanCancel(int panel);
// Shows the progress bar and Cancel, and clears an old cancel.
void beginScanView(int panel, std::size_t total);
void showScanProgress(int panel, std::size_t done);
bool scanCancelRequested();
void endScanView(int panel);
