#include "support/fake_line.h"

#include "serial/serial_port.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using TimePoint = Clock::TimePoint;

TimePoint after(TimePoint t, double seconds) {
    return t +
           std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds));
}

// The slave's own CRC, written apart from the program's so that a fault in
// one is not matched by the same fault in the other.
uint16_t slaveCrc(const std::vector<uint8_t>& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

void appendCrc(std::vector<uint8_t>& frame) {
    const uint16_t crc = slaveCrc(frame);
    frame.push_back(uint8_t(crc & 0xFF));
    frame.push_back(uint8_t(crc >> 8));
}

std::string hex(const uint8_t* bytes, std::size_t count) {
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        out += b;
    }
    return out;
}

struct InjectedFault {
    enum Kind {
        normal,
        silent,
        flip,
        cut,
        exception,
        wrongSlave,
        late,
        noise,
        bytes
    } kind = normal;
    int a = 0, b = 0;
    double seconds = 0;
    std::vector<uint8_t> raw;
};

struct Event {
    double at;
    std::string what;
    int readCount = -1; // >= 0 for a read line
};

} // namespace

struct FakeLine::State {
    mutable std::mutex mutex;
    TimePoint start, now;
    uint8_t slaveId = 1;
    std::map<uint16_t, uint16_t> registers;
    double turnaround = 0.005;
    std::deque<InjectedFault> faults;
    bool lost = false;
    std::deque<std::pair<TimePoint, uint8_t>> input; // bytes on their way, by arrival
    TimePoint lastArrival{};
    std::vector<std::string> requests;
    std::vector<Event> events;

    double at(TimePoint t) const { return std::chrono::duration<double>(t - start).count(); }
    void note(const std::string& what) { events.push_back({at(now), what}); }

    std::vector<uint8_t> answer(const std::vector<uint8_t>& request) {
        const uint16_t reg = uint16_t(request[2] << 8 | request[3]);
        const uint16_t word = uint16_t(request[4] << 8 | request[5]);
        std::vector<uint8_t> reply = {slaveId};
        if (request[1] == 0x03 && word >= 1 && word <= 125) {
            reply.insert(reply.end(), {0x03, uint8_t(2 * word)});
            for (uint16_t i = 0; i < word; ++i) {
                const auto it = registers.find(uint16_t(reg + i));
                const uint16_t v = it == registers.end() ? 0 : it->second;
                reply.insert(reply.end(), {uint8_t(v >> 8), uint8_t(v & 0xFF)});
            }
        } else if (request[1] == 0x06) {
            registers[reg] = word;
            reply.assign(request.begin(), request.begin() + 6);
        } else {
            reply.insert(reply.end(), {uint8_t(request[1] | 0x80), 0x01});
        }
        appendCrc(reply);
        return reply;
    }

    void received(const std::vector<uint8_t>& request) {
        if (request.size() != 8 || request[0] != slaveId) return;
        std::vector<uint8_t> got(request.begin(), request.begin() + 6);
        appendCrc(got);
        if (got != request) return; // a damaged request is not answered
        requests.push_back(hex(request.data(), request.size()));
        std::vector<uint8_t> reply = answer(request);
        double delay = turnaround;
        if (!faults.empty()) {
            const InjectedFault f = faults.front();
            faults.pop_front();
            switch (f.kind) {
            case InjectedFault::normal:
                break;
            case InjectedFault::silent:
                return;
            case InjectedFault::flip:
                reply[std::size_t(f.a)] ^= uint8_t(1 << f.b);
                break;
            case InjectedFault::cut:
                reply.resize(std::size_t(f.a));
                break;
            case InjectedFault::exception:
                reply = {slaveId, uint8_t(request[1] | 0x80), uint8_t(f.a)};
                appendCrc(reply);
                break;
            case InjectedFault::wrongSlave:
                reply[0] = uint8_t(f.a);
                reply.resize(reply.size() - 2);
                appendCrc(reply);
                break;
            case InjectedFault::late:
                delay = f.seconds;
                break;
            case InjectedFault::noise:
                reply.insert(reply.begin(), std::size_t(f.a), uint8_t(0xA5));
                break;
            case InjectedFault::bytes:
                reply = f.raw;
                break;
            }
        }
        // A slave answers in order: a late answer holds up the next one.
        const TimePoint arrival = std::max(after(now, delay), lastArrival);
        lastArrival = arrival;
        for (uint8_t b : reply)
            input.emplace_back(arrival, b);
    }
};

namespace {

class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(std::shared_ptr<FakeLine::State> s) : s_(std::move(s)) {}
    TimePoint now() override {
        std::lock_guard lock(s_->mutex);
        return s_->now;
    }
    void sleepUntil(TimePoint t) override {
        {
            std::lock_guard lock(s_->mutex);
            s_->now = std::max(s_->now, t);
        }
        // Another thread may hold what the sleeper waits for (the busy guard).
        std::this_thread::yield();
    }

  private:
    std::shared_ptr<FakeLine::State> s_;
};

class FakePort final : public SerialPort {
  public:
    explicit FakePort(std::shared_ptr<FakeLine::State> s) : s_(std::move(s)) {}
    int open(const std::string&, std::string*) override {
        std::lock_guard lock(s_->mutex);
        open_ = true;
        s_->note("open");
        return 0;
    }
    int configure(long, int, int, int) override { return 0; }
    int write(const uint8_t* data, int count) override {
        std::lock_guard lock(s_->mutex);
        s_->note("write " + hex(data, std::size_t(count)));
        if (s_->lost) return 0;
        s_->received(std::vector<uint8_t>(data, data + count));
        return count;
    }
    int readUntil(uint8_t* data, int count, Deadline deadline) override {
        std::lock_guard lock(s_->mutex);
        int got = 0;
        while (!s_->lost && got < count && !s_->input.empty() &&
               s_->input.front().first <= deadline) {
            s_->now = std::max(s_->now, s_->input.front().first);
            data[got++] = s_->input.front().second;
            s_->input.pop_front();
        }
        if (got < count && !s_->lost) s_->now = std::max(s_->now, deadline);
        if (!s_->events.empty() && s_->events.back().readCount >= 0) {
            s_->events.back().at = s_->at(s_->now);
            s_->events.back().readCount += got;
        } else {
            s_->events.push_back({s_->at(s_->now), "read", got});
        }
        return got;
    }
    void flushInput() override {
        std::lock_guard lock(s_->mutex);
        s_->note("flush in");
        while (!s_->input.empty() && s_->input.front().first <= s_->now)
            s_->input.pop_front();
    }
    void flushOutput() override {
        std::lock_guard lock(s_->mutex);
        s_->note("flush out");
    }
    int takeLineErrors() override { return 0; }
    void close() override {
        std::lock_guard lock(s_->mutex);
        if (open_) s_->note("close");
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    bool lost() const override {
        std::lock_guard lock(s_->mutex);
        return s_->lost;
    }

  private:
    std::shared_ptr<FakeLine::State> s_;
    bool open_ = false;
};

} // namespace

FakeLine::FakeLine() : state_(std::make_shared<State>()) {
    state_->start = state_->now = TimePoint{} + std::chrono::hours(1);
    clock_ = std::make_unique<VirtualClock>(state_);
    setLineClock(clock_.get());
    setSerialPortMaker([s = state_](const std::string&) { return std::make_unique<FakePort>(s); });
}

FakeLine::~FakeLine() {
    setSerialPortMaker(nullptr);
    setLineClock(nullptr);
}

void FakeLine::setSlaveId(uint8_t id) {
    std::lock_guard lock(state_->mutex);
    state_->slaveId = id;
}

uint16_t FakeLine::reg(uint16_t address) const {
    std::lock_guard lock(state_->mutex);
    const auto it = state_->registers.find(address);
    return it == state_->registers.end() ? 0 : it->second;
}

void FakeLine::setReg(uint16_t address, uint16_t value) {
    std::lock_guard lock(state_->mutex);
    state_->registers[address] = value;
}

void FakeLine::setTurnaround(double seconds) {
    std::lock_guard lock(state_->mutex);
    state_->turnaround = seconds;
}

namespace {
void push(FakeLine::State& s, InjectedFault f) {
    std::lock_guard lock(s.mutex);
    s.faults.push_back(std::move(f));
}

InjectedFault fault(InjectedFault::Kind kind, int a = 0, int b = 0) {
    InjectedFault f;
    f.kind = kind;
    f.a = a;
    f.b = b;
    return f;
}
} // namespace

void FakeLine::normal(int count) {
    for (int i = 0; i < count; ++i)
        push(*state_, fault(InjectedFault::normal));
}
void FakeLine::silent(int count) {
    for (int i = 0; i < count; ++i)
        push(*state_, fault(InjectedFault::silent));
}
void FakeLine::flipBit(int byteIndex, int bit) {
    push(*state_, fault(InjectedFault::flip, byteIndex, bit));
}
void FakeLine::cut(int length) {
    push(*state_, fault(InjectedFault::cut, length));
}
void FakeLine::exception(uint8_t code) {
    push(*state_, fault(InjectedFault::exception, code));
}
void FakeLine::wrongSlave(uint8_t address) {
    push(*state_, fault(InjectedFault::wrongSlave, address));
}
void FakeLine::noiseBefore(int byteCount) {
    push(*state_, fault(InjectedFault::noise, byteCount));
}
void FakeLine::late(double seconds) {
    InjectedFault f = fault(InjectedFault::late);
    f.seconds = seconds;
    push(*state_, std::move(f));
}
void FakeLine::replyWith(std::vector<uint8_t> bytes) {
    InjectedFault f = fault(InjectedFault::bytes);
    f.raw = std::move(bytes);
    push(*state_, std::move(f));
}

void FakeLine::lose() {
    std::lock_guard lock(state_->mutex);
    state_->lost = true;
    state_->input.clear();
}

std::vector<std::string> FakeLine::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::vector<std::string> FakeLine::timeline() const {
    std::lock_guard lock(state_->mutex);
    std::vector<std::string> lines;
    for (const Event& e : state_->events) {
        char at[32];
        std::snprintf(at, sizeof at, "%.3f ", e.at);
        lines.push_back(at + (e.readCount >= 0 ? "read " + std::to_string(e.readCount) : e.what));
    }
    return lines;
}

void FakeLine::clearLog() {
    std::lock_guard lock(state_->mutex);
    state_->start = state_->now;
    state_->requests.clear();
    state_->events.clear();
}

double FakeLine::seconds() const {
    std::lock_guard lock(state_->mutex);
    return state_->at(state_->now);
}
