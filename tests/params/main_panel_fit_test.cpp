// The main panel on a small screen (1024×600) shows every control whole, as
// it looks connected (units and ring texts at their widest), and a larger
// window gives the controls the room rather than empty margins or the status line.
#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_table.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QGroupBox>
#include <QLayout>
#include <QWidget>

namespace {

class MainPanelFit : public ControllerTest {
  protected:
    QWidget* shownAt(int width, int height) {
        QWidget* root = panelRoot(MainPanel::handle);
        root->show();
        root->resize(width, height);
        root->layout()->activate();
        waitUntil([&] { return root->size() == QSize(width, height); });
        return root;
    }
};

} // namespace

TEST_F(MainPanelFit, EveryControlIsWholeAt1024x600) {
    connect(1);
    QWidget* root = shownAt(1024, 600);
    const QSize least = root->minimumSizeHint();
    EXPECT_LE(least.width(), 1024);
    EXPECT_LE(least.height(), 600);
    ASSERT_EQ(root->size(), QSize(1024, 600)) << "the window manager would have to clip it";
    for (const ExpectedControl& c : MainPanel::controls) {
        QWidget* w = controlWidget(MainPanel::handle, c.name);
        ASSERT_NE(w, nullptr) << c.name;
        if (!w->isVisibleTo(root) || w->size().isEmpty()) continue; // timers
        const QSize need = w->minimumSizeHint();
        EXPECT_GE(w->width(), need.width()) << c.name << " is cut short";
        EXPECT_GE(w->height(), need.height()) << c.name << " is cut short";
        const QRect at(w->mapTo(root, QPoint(0, 0)), w->size());
        EXPECT_TRUE(root->rect().contains(at)) << c.name << " lies outside the window";
    }
}

TEST_F(MainPanelFit, ALargerWindowWidensTheGroups) {
    connect(1);
    QWidget* root = shownAt(1024, 600);
    const int entryAt1024 = controlWidget(MainPanel::handle, MainPanel::svEntry)->width();
    const QSize groupAt1024 = root->findChild<QGroupBox*>("liveGroup")->size();
    QWidget* status = controlWidget(MainPanel::handle, MainPanel::statusLine);
    const int statusAt1024 = status->height();
    shownAt(1600, 1000);
    EXPECT_GT(root->findChild<QGroupBox*>("liveGroup")->width(), groupAt1024.width() + 100);
    EXPECT_GT(controlWidget(MainPanel::handle, MainPanel::svEntry)->width(), entryAt1024);
    // The height goes to the groups; the status line stays one line high.
    EXPECT_GT(root->findChild<QGroupBox*>("liveGroup")->height(), groupAt1024.height() + 50);
    EXPECT_EQ(status->height(), statusAt1024);
}
