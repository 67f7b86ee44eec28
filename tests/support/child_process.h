#pragma once
// A program a test starts and stops by its PID: a server on loopback, q7sim.
#include <chrono>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
  public:
    // args[0] is the program's path. With captureOutput its stdout is kept for
    // firstLine(); errorLog, when given, is the file its stderr goes to.
    explicit ChildProcess(const std::vector<std::string>& args, bool captureOutput = false,
                          const std::string& errorLog = "");
    ~ChildProcess(); // stops it, by force when asking is not enough
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; } // -1 when it could not be started
    // False once it has ended (and been reaped).
    bool running();
    // The first line it printed, or "" when none came in time.
    std::string firstLine(std::chrono::milliseconds within = std::chrono::seconds(5));
    // Signals it and waits for its end: the exit status, 128+N after signal N,
    // or -1 when it outlived the wait.
    int stop(int signal = SIGTERM, std::chrono::milliseconds within = std::chrono::seconds(5));

  private:
    bool reap(int options);

    pid_t pid_ = -1;
    int output_ = -1;
    int status_ = -1; // once reaped
};
