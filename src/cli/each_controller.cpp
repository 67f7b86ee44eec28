#include "cli/each_controller.h"

#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/signal_stop.h"

#include <algorithm>

int forEachController(ControllerLine& line, const std::function<int(int id)>& run) {
    if (!severalControllers(line)) return run(line.ids().front());
    // A port that does not open fails every controller alike: told once.
    if (const int s = line.open()) return s;
    int worst = exitstatus::ok;
    for (const int id : line.ids()) {
        line.useId(id);
        const FailuresOfId named(id);
        const int status = run(id);
        worst = std::max(worst, status);
        if (status >= exitstatus::signalBase || SignalStop::received() != 0) break;
    }
    return worst;
}
