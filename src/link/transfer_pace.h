#pragma once
// How far a long transfer has got, and the one place it may be stopped:
// between two registers, never inside one. The link knows nobody who
// watches; whoever shows the transfer installs a watcher for its length.
#include <functional>

// Told (done, total) before each request of a long transfer; false stops
// the transfer there.
using TransferWatcher = std::function<bool(int done, int total)>;
