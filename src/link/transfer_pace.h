#pragma once
// How far a long transfer has got, and the one place it may be stopped:
// between two registers, never inside one. The link knows nobody who
// watches; whoever shows the transfer installs a watcher for its length.
#include <functional>

// Told (done, total) before each request of a long transfer; false stops
// the transfer there.
using TransferWatcher = std::function<bool(int done, int total)>;

// On the panels' program's line (line.h), for callers not yet handed a line
// of their own. An empty watcher: nobody watches.
void setTransferWatcher(TransferWatcher watcher);
// Called by a long transfer at each boundary. True: go on (also when nobody watches).
bool transferMayGoOn(int done, int total);
