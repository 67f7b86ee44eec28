#include "cli/runs_report.h"

#include "base/number_text.h"
#include "cli/exit_status.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/run_control.h"

namespace {

RunReportDrawer& drawer() {
    static RunReportDrawer d;
    return d;
}

} // namespace

void setRunReportDrawer(RunReportDrawer d) {
    drawer() = std::move(d);
}

int reportRun(long long id, const std::string& path) {
    if (const std::string why = cannotWrite(path); !why.empty())
        return fail(exitstatus::usage, why);
    if (!drawer())
        return fail(exitstatus::usage, "this program draws no reports: q7 runs report is "
                                       "written by q7-panels, beside q7");
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    const auto report = store ? loadRunReport(*store, id) : std::nullopt;
    if (report.failed()) return storeUnread(report.why());
    if (!report.found())
        return fail(exitstatus::usage, "no run " + formatWhole(id) + " in " + kRunStoreFile);
    return saveFile(path, drawer()(*report));
}
