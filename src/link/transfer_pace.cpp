#include "link/transfer_pace.h"

#include <utility>

namespace {
// Set and used on the control thread only, where every transfer runs.
TransferWatcher gWatcher;
} // namespace

void setTransferWatcher(TransferWatcher watcher) {
    gWatcher = std::move(watcher);
}

bool transferMayGoOn(int done, int total) {
    return !gWatcher || gWatcher(done, total);
}
