#include "app/report_drawer.h"

#include "history/report/run_report.h"

#include <QApplication>

#include <cstdio>
#include <memory>

std::string drawRunReport(const RunReport& report) {
    if (QCoreApplication::instance()) return runReportPdf(report);
    // The chart is a graphics widget, which takes a QApplication, not only
    // the QGuiApplication painting needs. A display that is set but does not
    // answer would end the program: the offscreen platform never asks one.
    static int argc = 3;
    static char name[] = "q7", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    // What Qt says of its set-up (no XDG_RUNTIME_DIR under cron or sudo)
    // is no news to a command's user, and not held against the report.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "q7: %s\n", qPrintable(text));
        });
    const auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    return runReportPdf(report);
}
