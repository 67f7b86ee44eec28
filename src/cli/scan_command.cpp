// scan: which ids on the line answer, with their models, through the scan
// the Line panel runs too.
#include "base/id_list.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/signal_stop.h"
#include "link/line_scan.h"

#include <cstdio>

int scanCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {}, {"--ids"});
    if (const int s = expectWords("scan", args, 0, "nothing more than --ids LIST")) return s;
    // --id names the controllers a command runs on; for the scan they are
    // the ids to ask, as --ids names them.
    if (args.value("--ids") && !options.ids.empty())
        return usageError("scan", "scan takes its ids from --id or --ids, not both");
    const IdList list = parseIdList(args.value("--ids").value_or("1-247"));
    if (!list.ok()) return usageError("scan", "--ids: " + list.error);
    const std::vector<int>& asked = options.ids.empty() ? list.ids : options.ids;
    const std::vector<uint8_t> ids(asked.begin(), asked.end());

    ControllerLine line(options);
    if (const int s = line.open()) return s;
    // Ctrl+C ends the scan between two ids, with what was found printed.
    const SignalStop signalStop;
    Progress progress("scanning", int(ids.size()));
    const ScanResult result =
        scanIds(line.controller().line(), ids, line.baud(), [&](const ScanStep& step) {
            // Ids not heard may be asked again, which adds to the total.
            progress.show(int(step.done), int(step.total));
            if (step.model) progress.print(std::to_string(step.id) + " " + *step.model + "\n");
            return SignalStop::received() == 0;
        });
    if (result.lineLost)
        return fail(exitstatus::noController, "the line on " + line.portText() +
                                                  " was lost during the scan: check the cable "
                                                  "or the gateway");
    if (result.cancelled) return stoppedBySignal("during the scan");
    if (result.found.empty() && line.throughGateway())
        return fail(exitstatus::noController,
                    "no controller answered on " + line.portText() +
                        " through the gateway: check the gateway's serial settings (baud rate, "
                        "parity) and its cable, and the controllers' power");
    if (result.found.empty())
        return fail(exitstatus::noController, "no controller answered on " + line.portText() +
                                                  " at " + std::to_string(line.baud()) +
                                                  " baud: check the cable, its power and the baud "
                                                  "rate (--baud)");
    return exitstatus::ok;
}
