#pragma once
// What a headless command tells the person or script that runs it: each
// failure in one line on stderr, and progress while a terminal watches.
#include "link/results.h"

#include <string>
#include <vector>

// Writes "q7: <line>" to stderr and gives back status, to end with.
int fail(int status, const std::string& line);

// While one lives, every failure line names the controller it is about:
// "q7: id 7: <line>". A command run on several controllers uses it; id 0
// names none, for a command run on one.
class FailuresOfId {
  public:
    explicit FailuresOfId(int id);
    ~FailuresOfId();
    FailuresOfId(const FailuresOfId&) = delete;
    FailuresOfId& operator=(const FailuresOfId&) = delete;
};

// Every line of text with prefix in front: "7 " before each line of a
// controller's listing.
std::string withPrefix(const std::string& prefix, const std::string& text);

// The status a failed request ends a command with: a controller that sent
// nothing back is not there to ask; anything else it refused or garbled.
int statusOf(const Outcome& outcome);

// "SV (0x0000), Hi limit (0x0024)"
std::string joinNames(const std::vector<std::string>& names);

// What a file holds that fits but is in doubt (a code no table knows) is
// sent only with --force: exitstatus::ok, or the usage status once told.
int refuseDoubts(const std::string& file, const std::vector<std::string>& doubts, bool forced);

// A count of requests done (or, with no total, what is being done), redrawn
// in place on stderr when stderr is a terminal; nothing otherwise, so logs
// and pipes get only the result. The line is taken away before a result or
// a failure is printed, which on the terminal would otherwise run on after it.
class Progress {
  public:
    explicit Progress(std::string what, int total = 0);
    ~Progress();
    void step();
    // done of total, when the total grows as the work goes on.
    void show(int done, int total);
    // Prints a result line on stdout, on a line of its own, and the progress
    // again below it.
    void print(const std::string& line);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Takes the progress line shown, if any, off the terminal.
    static void erase();

  private:
    void draw() const;
    std::string what_;
    int total_;
    int done_ = 0;
    bool shown_;
};
