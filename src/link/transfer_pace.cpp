#include "link/transfer_pace.h"

#include "link/line.h"

void setTransferWatcher(TransferWatcher watcher) {
    session().setTransferWatcher(std::move(watcher));
}

bool transferMayGoOn(int done, int total) {
    return session().transferMayGoOn(done, total);
}
