#include "history/panel/trend_chart.h"

#include "history/run_text.h"

#include <QChart>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

void drawTrend(QChart& chart, const ProgramTrend& trend) {
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    chart.legend()->setAlignment(Qt::AlignRight);
    chart.setMargins(QMargins(2, 2, 2, 2));
    auto* batches = new QValueAxis;
    auto* minutes = new QValueAxis;
    batches->setTitleText("batch");
    batches->setLabelFormat("%d");
    minutes->setTitleText("minutes");
    chart.addAxis(batches, Qt::AlignBottom);
    chart.addAxis(minutes, Qt::AlignLeft);
    double first = 1, last = 2, low = 0, high = 1;
    bool any = false;
    for (const RampTrend& t : trend.ramps) {
        auto* line = new QLineSeries;
        line->setName(
            QString("segment %1%2").arg(t.segment + 1).arg(t.slowerThan ? " (slower)" : ""));
        QPen pen = line->pen();
        pen.setWidthF(t.slowerThan ? 2.5 : 1.5);
        line->setPen(pen);
        for (const RampTrend::Point& p : t.points) {
            const double m = p.seconds / 60;
            line->append(p.batch, m);
            first = any ? std::min(first, double(p.batch)) : p.batch;
            last = any ? std::max(last, double(p.batch)) : p.batch;
            low = any ? std::min(low, m) : m;
            high = any ? std::max(high, m) : m;
            any = true;
        }
        chart.addSeries(line);
        line->attachAxis(batches);
        line->attachAxis(minutes);
    }
    if (last <= first) last = first + 1;
    const double pad = std::max(1.0, (high - low) * 0.1);
    batches->setRange(first, last);
    batches->setTickCount(std::min(int(last - first) + 1, 8));
    minutes->setRange(std::max(0.0, low - pad), high + pad);
}

QString trendVerdict(const ProgramTrend& trend) {
    if (trend.program.isEmpty()) return {};
    QString verdict;
    for (const RampTrend& t : trend.ramps)
        if (t.slowerThan) verdict += "Warning: " + QString::fromStdString(slowingText(t)) + ". ";
    if (!verdict.isEmpty()) return verdict + "An element may be failing.";
    if (trend.ramps.empty())
        return trend.program + QString(": no ramp was finished in its %1 runs.").arg(trend.runs);
    return trend.program + QString(": %1 runs; no ramp is getting slower.").arg(trend.runs);
}
