#pragma once
// One transaction on a line: it holds the busy guard for its lifetime and
// settles the line before its first request (retry_policy.h names the
// settle times). A transaction inside another one on the same thread joins
// it; another thread waits until the line is free.
#include "link/line.h"

class Transaction {
  public:
    // The guard only: the caller readies the line its own way.
    explicit Transaction(Line& line) : line_(line) { line_.takeGuard(); }
    Transaction(Line& line, Settle settle) : Transaction(line) { line_.settle(settle); }
    ~Transaction() { release(); }
    // Lets go before the end of the scope: once the last reply is read.
    void release() {
        if (!held_) return;
        held_ = false;
        line_.dropGuard();
    }
    Line& line() const { return line_; }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

  private:
    Line& line_;
    bool held_ = true;
};
