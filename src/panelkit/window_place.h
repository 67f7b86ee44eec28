#pragma once
// Where a window opens: beside the window it belongs to (a panel's parent
// panel, else the main panel), so that what the operator weighs stays in
// view, a margin away from it and from the screen's edges. Where the screen
// has no room beside it, over its middle; a window larger than the screen
// is made to fit, as far as its contents allow. GUI thread only.
class QObject;
class QWidget;

inline constexpr int kWindowMargin = 16;

// The panel the others open beside.
void setMainPanel(int panel);
int mainPanel();
// Places a window about to be shown beside `anchor` (nullptr: the main
// panel); false when neither is on screen to place it by.
bool placeBeside(QWidget* window, QWidget* anchor = nullptr);
// The first time a panel is shown; after that it opens where the operator left it.
void placePanelOnFirstShow(int panel);

// Shows a panel and raises it: beside the main panel the first time (*placed
// keeps that it was placed), after that where the operator left it.
void showPanel(QWidget* panel, bool* placed);
// Lets go of every signal of a panel's form, as the panel is destroyed: the
// form's widgets go in ~QWidget, after the panel's own class, and nothing
// they signal as they go (an entry losing its focus) may call back into it.
void releaseForm(QObject* panel);
