#pragma once
// SIGINT and SIGTERM while a headless command that runs a transfer holds
// one (read, backup, restore, program, pid): the transfer stops at its next
// boundary between two registers (link/transfer_pace.h; every command's
// line watches for it, see controller_line.cpp), never inside one,
// and the command says where it stopped and ends with 128 plus the signal's
// number, as a shell reports a process that signal ended. The same signal
// again ends the program at once. Other commands keep the signals' own ways.
#include <string>

class SignalStop {
  public:
    // Catches both signals (unless they are ignored, as under nohup) and
    // stops transfers once one came.
    SignalStop();
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // The signal that came, or 0.
    static int received();
};

// "q7: stopped by SIGINT <where>" on stderr; returns 130 (143 for SIGTERM).
int stoppedBySignal(const std::string& where);
