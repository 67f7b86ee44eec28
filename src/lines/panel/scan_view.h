#pragma once
// The Line panel's scan display: progress, and a Cancel that is taken at
// once. The scan runs on the control thread, so its Cancel cannot wait in
// that thread's queue behind it: the button sets a flag on the GUI thread
// that the scan reads between ids. Any thread.
#include <atomic>
#include <cstddef>

// The button sets cancelled, which must outlive the panel.
void wireScanCancel(int panel, std::atomic<bool>& cancelled);
// Shows the progress bar and Cancel.
void beginScanView(int panel, std::size_t total);
void showScanProgress(int panel, std::size_t done);
void endScanView(int panel);
