#include "lines/panel/scan_view.h"

#include "lines/panel/ids/line_panel.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"

#include <QProgressBar>
#include <QPushButton>

#include <atomic>

namespace {

template <class W> W* control(int panel, CtrlId name) {
    return qobject_cast<W*>(lookupControl(panel, name));
}

void setScanning(int panel, bool on) {
    if (auto* bar = control<QProgressBar>(panel, LinePanel::scanProgress)) bar->setVisible(on);
    if (auto* cancel = control<QPushButton>(panel, LinePanel::cancelScanButton)) {
        cancel->setVisible(on);
        cancel->setEnabled(on);
    }
    // Nothing else may start on the line meanwhile.
    for (CtrlId name : {LinePanel::scanButton, LinePanel::showButton, LinePanel::addButton,
                        LinePanel::removeButton})
        if (auto* button = control<QPushButton>(panel, name)) button->setEnabled(!on);
}

} // namespace

void wireScanCancel(int panel, std::atomic<bool>& cancelled) {
    onGui([panel, &cancelled] {
        auto* cancel = control<QPushButton>(panel, LinePanel::cancelScanButton);
        if (!cancel) return;
        QObject::connect(cancel, &QPushButton::clicked, cancel, [cancel, &cancelled] {
            cancelled = true;
            cancel->setEnabled(false);
        });
        setScanning(panel, false);
    });
}

void beginScanView(int panel, std::size_t total) {
    onGui([&] {
        if (auto* bar = control<QProgressBar>(panel, LinePanel::scanProgress)) {
            bar->setRange(0, int(total));
            bar->setValue(0);
        }
        setScanning(panel, true);
    });
}

void showScanProgress(int panel, std::size_t done) {
    onGui([&] {
        if (auto* bar = control<QProgressBar>(panel, LinePanel::scanProgress))
            bar->setValue(int(done));
    });
}

void endScanView(int panel) {
    onGui([&] { setScanning(panel, false); });
}
