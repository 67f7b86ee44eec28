#pragma once
// The view the Runs panel draws an opened run's chart in.
#include <QChartView>

class RunChartView : public QChartView {
    Q_OBJECT

  public:
    explicit RunChartView(QWidget* parent = nullptr);
};
