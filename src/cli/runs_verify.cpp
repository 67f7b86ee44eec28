// q7 runs verify [ID]: each run's hash chain recomputed from the store as
// it stands, read-only, and where it no longer follows.
#include "base/number_text.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/run_control.h"
#include "cli/runs_text.h"
#include "history/run_text.h"

#include <cstdio>

namespace {

std::string verdictText(long long id, const ChainCheck& c) {
    const std::string run = "run " + formatWhole(id) + ": ";
    switch (c.verdict) {
    case ChainCheck::Verdict::intact:
        return run + "intact, sealed " + c.seal +
               (c.sealedAtUpgrade ? " (sealed when the store was upgraded, not as it was recorded)"
                                  : "") +
               (c.pruned ? "; its samples were pruned and the figures kept in their place are "
                           "sealed too"
                         : "");
    case ChainCheck::Verdict::open:
        return run + "intact up to its last link; not sealed yet: the run has not ended";
    case ChainCheck::Verdict::broken:
        return run + "broken at " + c.place +
               (c.time ? " (time " + dateAndTime(*c.time) + ")" : std::string());
    case ChainCheck::Verdict::unchained:
        break;
    }
    return run + "not chained: the store keeps no chains";
}

} // namespace

int verifyRuns(std::optional<long long> only) {
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    if (!store) return fail(exitstatus::usage, std::string("no ") + kRunStoreFile + " here");
    std::vector<long long> ids;
    if (only) {
        ids.push_back(*only);
    } else {
        auto all = store->runIds();
        if (all.failed()) return storeUnread(all.why());
        // Oldest first, as the chain of a store grows.
        ids.assign(all->rbegin(), all->rend());
    }
    bool allIntact = true;
    for (long long id : ids) {
        const auto c = store->checkChain(id);
        if (c.failed()) return storeUnread(c.why());
        if (!c.found())
            return fail(exitstatus::usage, "no run " + formatWhole(id) + " in " + kRunStoreFile);
        if (c->verdict == ChainCheck::Verdict::unchained)
            return fail(exitstatus::notConfirmed,
                        std::string(kRunStoreFile) + " is of a version that keeps no chains; " +
                            "q7 run or q7 runs prune brings it up, chaining every run it holds");
        if (c->verdict == ChainCheck::Verdict::broken) allIntact = false;
        std::printf("%s\n", verdictText(id, *c).c_str());
    }
    return allIntact ? exitstatus::ok : exitstatus::notConfirmed;
}
