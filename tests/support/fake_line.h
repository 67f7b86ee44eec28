#pragma once
// A serial line on a virtual clock with a small table-driven slave at its far
// end. Session and transfer tests run on it in milliseconds: a time-out passes
// in no time, and every open, flush, write and read lands in one timeline in
// virtual seconds, so the pauses between them can be pinned exactly.
//
// Installing a FakeLine makes every port the program opens this line and
// every pause a step of its clock, until the FakeLine goes.
#include "base/clock.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class FakeLine {
  public:
    FakeLine();
    ~FakeLine();
    FakeLine(const FakeLine&) = delete;
    FakeLine& operator=(const FakeLine&) = delete;

    // The slave: address and holding registers (absent ones read 0). It
    // answers 0x03 and 0x06 and nothing addressed to another slave; any other
    // function gets exception 01.
    void setSlaveId(uint8_t id);
    uint16_t reg(uint16_t address) const;
    void setReg(uint16_t address, uint16_t value);
    // The next reply arrives this long after its request (default 0.005 s).
    void setTurnaround(double seconds);

    // What the next replies do, one entry per request, in order.
    void normal(int count = 1); // answered as they should be
    void silent(int count = 1);
    void flipBit(int byteIndex, int bit);
    void cut(int length);
    void exception(uint8_t code);
    void wrongSlave(uint8_t address);
    void late(double seconds);
    void noiseBefore(int byteCount);
    void replyWith(std::vector<uint8_t> bytes);
    // The device goes away: nothing more passes, and the port says it is lost.
    void lose();

    // Requests the slave received, as "01 03 10 00 00 01 80 CA".
    std::vector<std::string> requests() const;
    // One line per port call, at its virtual time in seconds since the line
    // was made or its log last cleared: "0.030 write 01 03 10 00 00 01 80 CA", "0.060 read 7",
    // "0.000 flush in", "0.000 flush out", "0.000 open", "0.120 close".
    // Reads that follow each other are one line with the bytes they got.
    std::vector<std::string> timeline() const;
    void clearLog();
    double seconds() const; // virtual seconds since the line was made

    struct State;

  private:
    std::shared_ptr<State> state_;
    std::unique_ptr<Clock> clock_;
};
