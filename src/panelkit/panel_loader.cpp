// Loading panel files and showing, hiding and discarding panels.
#include "panelkit/control_events.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_dirs.h"
#include "panelkit/panel_keys.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_table.h"
#include "panelkit/window_place.h"
#include "widgets/led.h"
#include "widgets/no_value.h"
#include "widgets/numeric_entry.h"
#include "widgets/profile_plot.h"
#include "widgets/ring.h"
#include "widgets/strip_chart/strip_chart.h"
#include "widgets/timer_control.h"

#include <QCoreApplication>
#include <QFile>
#include <QUiLoader>

#include <algorithm>
#include <cstdio>

namespace {

// Builds the program's own controls by class name, numeric entries included
// (they must not read numbers by the desktop's locale); the rest is Qt's.
class PanelLoader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        QWidget* w = nullptr;
        if (className == QLatin1String("TimerControl"))
            w = new TimerControl(parent);
        else if (className == QLatin1String("StripChart"))
            w = new StripChart(parent);
        else if (className == QLatin1String("Led"))
            w = new Led(parent);
        else if (className == QLatin1String("ProfilePlot"))
            w = new ProfilePlot(parent);
        else if (className == QLatin1String("Ring"))
            w = new Ring(parent);
        else if (className == QLatin1String("QDoubleSpinBox"))
            w = new RealEntry(parent);
        else if (className == QLatin1String("QSpinBox"))
            w = new WholeEntry(parent);
        else
            return QUiLoader::createWidget(className, parent, name);
        w->setObjectName(name);
        return w;
    }
};

std::vector<int> gPopupStack;

int loadOnGui(int parentPanel, const QString& file) {
    QWidget* parent = nullptr;
    if (parentPanel > 0 && !(parent = panelRoot(parentPanel))) return kPanelBadHandle;
    const QString path = findPanelFile(file, QCoreApplication::applicationDirPath());
    if (path.isEmpty()) {
        std::fprintf(stderr, "q7: panel file %s not found\n", qPrintable(file));
        return kPanelFileNotFound;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "q7: cannot read %s\n", qPrintable(path));
        return kPanelFileNotFound;
    }
    PanelLoader loader;
    // Built as the window it is: a form built inside another widget gets
    // the margins of a widget inside a window, none, and its controls would
    // touch its own window's edges.
    QWidget* root = loader.load(&f, nullptr);
    if (!root) {
        std::fprintf(stderr, "q7: %s: %s\n", qPrintable(path), qPrintable(loader.errorString()));
        return kPanelBadFile;
    }
    // A child panel is its own window that stays above its parent.
    if (parent) root->setParent(parent, root->windowFlags() | Qt::Window);
    root->hide();
    for (Ring* ring : root->findChildren<Ring*>())
        ring->applyCodes();
    // What the panel file holds is only the designer's preview for these:
    // they wait for a value read from the controller.
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->property(kStartsEmptyMark).toBool()) clearShownValue(w);
    const int handle = addPanel(root, parentPanel);
    wirePanelEvents(handle, root);
    wirePanelKeys(handle, root);
    return handle;
}

void forgetPopups(const std::vector<int>& handles) {
    std::erase_if(gPopupStack, [&](int h) {
        return std::find(handles.begin(), handles.end(), h) != handles.end();
    });
}

} // namespace

int LoadPanel(int parentPanel, const char* file, int) {
    const QString name = QString::fromUtf8(file ? file : "");
    return onGui([&] { return loadOnGui(parentPanel, name); });
}

int DisplayPanel(int panel) {
    return onGui([&] {
        QWidget* root = panelRoot(panel);
        if (!root) return int(kPanelBadHandle);
        placePanelOnFirstShow(panel);
        root->show();
        root->raise();
        root->activateWindow();
        return 0;
    });
}

int HidePanel(int panel) {
    return onGui([&] {
        QWidget* root = panelRoot(panel);
        if (!root) return int(kPanelBadHandle);
        root->hide();
        return 0;
    });
}

bool panelLoaded(int panel) {
    return onGui([&] { return panelRoot(panel) != nullptr; });
}

bool popupInstalled(int panel) {
    return onGui([&] { return std::ranges::find(gPopupStack, panel) != gPopupStack.end(); });
}

int DiscardPanel(int panel) {
    return onGui([&] {
        QWidget* root = panelRoot(panel);
        if (!root) return int(kPanelBadHandle);
        forgetPopups(removePanel(panel));
        // A timer of a panel on its way out must not tick into the logic.
        for (TimerControl* timer : root->findChildren<TimerControl*>())
            timer->setTicking(false);
        root->hide();
        // Later, not now: the call may come from inside one of the panel's own handlers.
        root->deleteLater();
        return 0;
    });
}

void discardAllPanels() {
    onGui([] {
        for (int h : panelHandles())
            if (panelRoot(h)) DiscardPanel(h);
        gPopupStack.clear();
    });
}

int InstallPopup(int panel) {
    return onGui([&] {
        QWidget* root = panelRoot(panel);
        if (!root) return int(kPanelBadHandle);
        // Modality only takes effect on a hidden window.
        root->hide();
        root->setWindowModality(Qt::ApplicationModal);
        placePanelOnFirstShow(panel);
        root->show();
        root->raise();
        gPopupStack.push_back(panel);
        return 0;
    });
}

int RemovePopup(int all) {
    return onGui([&] {
        do {
            if (gPopupStack.empty()) break;
            const int panel = gPopupStack.back();
            gPopupStack.pop_back();
            if (QWidget* root = panelRoot(panel)) {
                root->hide();
                root->setWindowModality(Qt::NonModal);
            }
        } while (all);
        return 0;
    });
}
