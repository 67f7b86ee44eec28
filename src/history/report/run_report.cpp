#include "history/report/run_report.h"

#include "base/number_text.h"
#include "history/chart/run_chart.h"
#include "history/report/report_page.h"
#include "history/run_text.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QGraphicsScene>
#include <QPainter>
#include <QPdfWriter>

namespace {

constexpr double kChartHeight = 290; // points
// The chart is laid out this many times larger than it prints, so its text
// and lines come out at a size read on paper.
constexpr double kChartScale = 1.6;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString when(double wall) {
    return QDateTime::fromSecsSinceEpoch(qint64(wall)).toString("yyyy-MM-dd HH:mm:ss");
}

QString degrees(const std::optional<double>& v, const std::string& unit) {
    return v ? q(formatFixed(*v, 1)) + (unit.empty() ? "" : " " + q(unit)) : QString("-");
}

std::vector<std::pair<QString, QString>> headerFields(const RunReport& r) {
    const RunFigures& f = r.figures;
    const RunState& st = f.state;
    QString length = f.lengthSeconds ? q(durationText(*f.lengthSeconds)) : QString("-");
    if (st.timeScale != 1)
        length +=
            QObject::tr(" (run %1 times as fast as the plan)").arg(q(formatFixed(st.timeScale, 0)));
    std::vector<std::pair<QString, QString>> fields{
        {QObject::tr("Program"), q(st.programName)},
        {QObject::tr("Zones"), q(zonesText(st))},
    };
    // The firing's own facts come first, as its customer reads them.
    for (const RunField& field : r.fields) {
        QString name = q(field.key);
        name[0] = name[0].toUpper();
        fields.emplace_back(name, q(field.value));
    }
    std::vector<std::pair<QString, QString>> rest{
        {QObject::tr("Start"), st.started ? when(*st.started) : QObject::tr("not started")},
        {QObject::tr("End"), st.ended ? when(*st.ended) : QObject::tr("not ended")},
        {QObject::tr("Length"), length},
        {QObject::tr("Outcome"), q(outcomeText(st))},
        {QObject::tr("Batch"), f.batch ? QString::number(f.batch) : QString("-")},
        {QObject::tr("Held back"),
         f.noPlan.empty() ? q(durationText(f.heldBackSeconds)) : QString("-")},
        {QObject::tr("Largest deviation"),
         degrees(f.largestDeviation, r.chart.unit) + q(deviationCoverage(f))},
        {QObject::tr("Seal"),
         !r.seal             ? QObject::tr("not sealed: the run has not ended")
         : r.seal->atUpgrade ? q(r.seal->hex) + QObject::tr(" (sealed when the store was upgraded)")
                             : q(r.seal->hex)},
    };
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}

void drawChart(const RunChartData& data, QPainter& painter, const QRectF& target) {
    QGraphicsScene scene;
    auto* chart = new RunChart;
    scene.addItem(chart);
    const QRectF source(0, 0, target.width() * kChartScale, target.height() * kChartScale);
    chart->resize(source.size());
    chart->setRun(data);
    // Qt Charts lays its axes out from posted events.
    QCoreApplication::processEvents();
    scene.render(&painter, target, source);
}

ReportPages::Table segmentTable(const RunReport& r) {
    ReportPages::Table t;
    t.shares = {0.10, 0.11, 0.11, 0.10, 0.12, 0.12, 0.14, 0.20};
    t.rightAligned = {false, true, true, true, true, true, true, false};
    t.header = {QObject::tr("Segment"),      QObject::tr("Planned"),      QObject::tr("Actual"),
                QObject::tr("Held back"),    QObject::tr("Largest dev."), QObject::tr("Mean dev."),
                QObject::tr("Rate reached"), QObject::tr("Note")};
    const std::string& unit = r.chart.unit;
    for (const SegmentFigures& s : r.figures.segments) {
        const QString note = q(segmentNote(s));
        QString rate = QObject::tr("hold");
        if (s.ramp)
            rate = s.rateReached ? q(formatFixed(*s.rateReached, 1)) + " " + q(unit) + "/h"
                                 : QString("-");
        t.rows.push_back({QString::number(s.segment + 1), q(durationText(s.plannedSeconds)),
                          q(durationText(s.actualSeconds)), q(durationText(s.heldBackSeconds)),
                          degrees(s.largestDeviation, unit), degrees(s.meanDeviation, unit), rate,
                          note});
    }
    return t;
}

ReportPages::Table eventTable(const RunChartData& chart) {
    ReportPages::Table t;
    t.shares = {0.12, 0.08, 0.16, 0.64};
    t.header = {QObject::tr("From start"), QObject::tr("Zone"), QObject::tr("Event"),
                QObject::tr("What it says")};
    for (const ChartEvent& e : chart.events)
        t.rows.push_back({q(durationText(e.at)), e.zone ? QString::number(*e.zone + 1) : "",
                          eventKindName(e.kind), q(e.text)});
    return t;
}

} // namespace

QString energyText(const RunEnergy& e) {
    if (!e.kWh) return QObject::tr("No energy figure: %1.").arg(q(e.none));
    QString text = QObject::tr("%1 kWh at %2 kW per zone")
                       .arg(q(formatFixed(*e.kWh, 1)), q(formatFixed(*e.power, 1)));
    if (e.covered < 0.995)
        text += QObject::tr(", over the %1 % of the zones' time their output was recorded for "
                            "(the controllers tell it only in Manual)")
                    .arg(q(formatFixed(e.covered * 100, 0)));
    text += ". ";
    if (e.cost)
        text += QObject::tr("Cost %1 at %2 per kWh.")
                    .arg(q(formatFixed(*e.cost, 2)), q(formatFixed(*e.price, 2)));
    else
        text += QObject::tr("No cost: %1.").arg(q(e.none));
    return text;
}

std::string runReportPdf(const RunReport& r) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        writer.setResolution(72); // a unit of the painter is a point
        writer.setCreator("q7");
        const QString title =
            QObject::tr("Run %1: %2").arg(r.figures.id).arg(q(r.figures.state.programName));
        writer.setTitle(title);
        QPainter painter(&writer);
        ReportPages pages(writer, painter, title);

        pages.heading(title);
        pages.fields(headerFields(r));
        pages.skip(6);
        if (r.chart.zones.empty() || r.chart.valueRange() == std::nullopt)
            pages.paragraph(QObject::tr("No samples of this run are kept to draw."));
        else
            pages.block(kChartHeight,
                        [&](const QRectF& area) { drawChart(r.chart, painter, area); });

        pages.heading(QObject::tr("Segments"));
        if (!r.figures.noPlan.empty())
            pages.paragraph(QObject::tr("No figures against a plan: %1.").arg(q(r.figures.noPlan)));
        else
            pages.table(segmentTable(r));

        pages.heading(QObject::tr("Energy and cost"));
        pages.paragraph(energyText(r.energy));

        pages.heading(QObject::tr("Events"));
        if (r.chart.events.empty())
            pages.paragraph(QObject::tr("None recorded."));
        else
            pages.table(eventTable(r.chart));
        pages.finish();
    }
    return bytes.toStdString();
}
