// The web view under the load of a plant's screens: 50 WebSocket clients
// (pages left open on phones and desks), 8 controllers each changing once
// a second, for 30 s (Q7_WEB_SECONDS):
//   - the server thread's CPU time against 2 % of a core;
//   - from a state handed to the view to the last client holding it, the
//     worst, against 50 ms (the view's share of a PV's way to the page).
// No QCoreApplication is made here: the view makes its own, as it does in
// q7 serve.
#include "web/web_view.h"

#include <QCoreApplication>
#include <QWebSocket>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kClients = 50, kControllers = 8;
constexpr double kCpuBudget = 0.02, kLatencyFloor = 0.050;

void report(const char* what, double measured, double floor, const char* unit, double scale) {
    std::printf("%-34s measured %8.3f %s  floor %8.3f %s  ratio %.3f\n", what, measured * scale,
                unit, floor * scale, unit, measured / floor);
}

} // namespace

int main() {
    const char* s = std::getenv("Q7_WEB_SECONDS");
    const double seconds = s ? std::atof(s) : 30.0;
    PlantView plant;
    WebServerOptions options;
    options.listen = {"127.0.0.1", 0};
    // Its clients all come from loopback, where a plant's screens would come
    // from an address each.
    options.maxPerAddress = options.maxConnections;
    auto started = WebView::start(plant, options);
    if (auto* why = std::get_if<std::string>(&started)) {
        std::fprintf(stderr, "%s\n", why->c_str());
        return 1;
    }
    auto& view = std::get<std::unique_ptr<WebView>>(started);
    if (!QCoreApplication::instance()) {
        std::fprintf(stderr, "the view made no QCoreApplication\n");
        return 1;
    }

    // Each state carries its sequence number; when it was handed over.
    std::mutex mutex;
    std::map<int, Steady::time_point> fed;
    std::map<int, int> seen; // sequence -> clients that got it
    double worst = 0;
    long messages = 0;
    std::vector<std::unique_ptr<QWebSocket>> clients;
    for (int i = 0; i < kClients; ++i) {
        auto c = std::make_unique<QWebSocket>();
        QObject::connect(c.get(), &QWebSocket::textMessageReceived, [&](const QString& m) {
            ++messages;
            // "seq":N in each changed state.
            for (qsizetype at = m.indexOf("\"seq\":"); at >= 0;
                 at = m.indexOf("\"seq\":", at + 1)) {
                const int seq = m.mid(at + 6, 12).section(',', 0, 0).toInt();
                std::lock_guard lock(mutex);
                if (++seen[seq] == kClients)
                    worst = std::max(
                        worst, std::chrono::duration<double>(Steady::now() - fed[seq]).count());
            }
        });
        c->open(QUrl(QString("ws://127.0.0.1:%1/ws").arg(view->port())));
        clients.push_back(std::move(c));
    }
    while (view->webSocketClients() < kClients)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    std::atomic<bool> done{false};
    const double cpu0 = view->serverCpuSeconds();
    const auto begin = Steady::now();
    std::thread feeder([&] {
        // Each controller once a second, spread over the second as a line polls.
        int seq = 0;
        auto next = Steady::now();
        while (!done) {
            for (int id = 1; id <= kControllers && !done; ++id) {
                next += std::chrono::milliseconds(1000 / kControllers);
                std::this_thread::sleep_until(next);
                ++seq;
                {
                    std::lock_guard lock(mutex);
                    fed[seq] = Steady::now();
                }
                plant.state("kiln", id,
                            "{\"pv\":" + std::to_string(1000 + seq % 50) +
                                ".5,\"sv\":1050.0,\"out\":37.5,\"mode\":\"PID\",\"unit\":\"C\","
                                "\"seq\":" +
                                std::to_string(seq) +
                                ",\"time\":\"2026-12-09T08:00:00.000+00:00\"}");
            }
        }
    });
    while (std::chrono::duration<double>(Steady::now() - begin).count() < seconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double cpu = view->serverCpuSeconds() - cpu0;
    const double elapsed = std::chrono::duration<double>(Steady::now() - begin).count();
    done = true;
    feeder.join();
    std::printf("%d clients, %d controllers at 1/s, %.0f s: %ld messages\n", kClients, kControllers,
                elapsed, messages);
    report("web thread CPU, share of a core", cpu / elapsed, kCpuBudget, "%", 100);
    {
        std::lock_guard lock(mutex);
        report("state to the last client", worst, kLatencyFloor, "ms", 1e3);
    }
    clients.clear();
    return 0;
}
