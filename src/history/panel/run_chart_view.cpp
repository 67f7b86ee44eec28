#include "history/panel/run_chart_view.h"

RunChartView::RunChartView(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing, false);
}
