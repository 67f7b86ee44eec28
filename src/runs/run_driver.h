#pragma once
// The process that drives a run, as the run store keeps it: its pid, and a
// token that tells it from a later process given the same pid (the boot it
// runs in and the time it started, as the system shows them). Another
// process asks it to stop through the store; when it no longer runs, the
// run has nobody to stop it but the one who asks.
#include <string>

struct RunDriver {
    long long pid = 0;
    std::string token;
};

RunDriver thisProcess();
// The process is running still: the same pid, boot and start time.
bool stillRunning(const RunDriver& driver);
