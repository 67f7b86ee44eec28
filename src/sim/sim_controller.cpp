#include "sim/sim_controller.h"

#include "sim/fault_injection.h"
#include "sim/modbus_slave.h"
#include "sim/process_model.h"
#include "sim/program_runner.h"
#include "sim/register_map.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// How often the process model catches up with the clock between requests.
constexpr auto kTickInterval = std::chrono::milliseconds(50);
// A reply the master does not read gets abandoned rather than wedging the slave.
constexpr auto kWriteStallLimit = std::chrono::seconds(1);

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

struct SimController::Impl {
    explicit Impl(SimOptions o) : options(o), registers(o.variant) {}

    enum class Wake { Deadline, Readable, Stop };

    SimOptions options;
    Clock::duration byteTime{};
    Clock::duration silence{}; // 3.5 character times: a gap that ends a frame

    mutable std::mutex mutex; // registers, model, faults and counters
    RegisterMap registers;
    ProcessModel model;
    ProgramRunner program;
    FaultQueue faults;
    std::minstd_rand noiseRandom{0x7E57};
    int requests = 0;
    std::function<void(int)> requestHook;
    std::string lastRequest;
    std::vector<std::string> requestLog; // bounded, oldest dropped first
    Clock::time_point lastAdvance;

    int masterFd = -1;
    int slaveFd = -1; // held open so the master never sees a hang-up between clients
    int wakeFds[2] = {-1, -1};
    std::string path;
    std::thread worker;
    std::atomic<bool> stopping{false};
    std::atomic<bool> closeRequested{false};
    std::condition_variable lineClosed;
    bool closed = false; // guarded by mutex

    FrameAssembler frames;
    Clock::time_point frameStart;
    Clock::time_point lastByte;

    bool open();
    void run();
    Wake waitUntil(Clock::time_point deadline, bool watchLine);
    bool readLine(); // false when the line errored rather than just ran dry
    void handle(const Request& request);
    void sendPaced(const Frame& bytes, Clock::time_point start);
    void advanceModel(); // caller holds mutex
    void closeMaster();
    void wake() {
        const char byte = 1;
        [[maybe_unused]] auto n = ::write(wakeFds[1], &byte, 1);
    }
};

bool SimController::Impl::open() {
    const long baud = options.baudRate > 0 ? options.baudRate : 0;
    byteTime = baud ? seconds(11.0 / double(baud)) : Clock::duration::zero();
    // Above 19200 baud the usual fixed 1.75 ms applies.
    silence = baud && baud <= 19200 ? seconds(3.5 * 11.0 / double(baud))
                                    : std::chrono::microseconds(1750);

    if (::openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0) return false;
    char name[PATH_MAX];
    if (::ptsname_r(masterFd, name, sizeof name) != 0) {
        closeFd(masterFd);
        closeFd(slaveFd);
        return false;
    }
    path = name;
    termios tio{};
    if (::tcgetattr(masterFd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(masterFd, TCSANOW, &tio);
    }
    ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        closeFd(masterFd);
        closeFd(slaveFd);
        return false;
    }
    return true;
}

void SimController::Impl::closeMaster() {
    closeFd(masterFd);
    closeFd(slaveFd);
    frames.discard();
    std::lock_guard lock(mutex);
    closed = true;
    lineClosed.notify_all();
}

SimController::Impl::Wake SimController::Impl::waitUntil(Clock::time_point deadline,
                                                         bool watchLine) {
    for (;;) {
        if (stopping) return Wake::Stop;
        if (closeRequested.exchange(false)) closeMaster();
        const bool line = watchLine && masterFd >= 0;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return Wake::Deadline;

        pollfd fds[2] = {{wakeFds[0], POLLIN, 0}, {masterFd, POLLIN, 0}};
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
        const int n = ::ppoll(fds, line ? 2 : 1, &timeout, nullptr);
        if (n < 0 && errno != EINTR) return Wake::Deadline;
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeFds[0], drain, sizeof drain) > 0) {
            }
        }
        if (line && (fds[1].revents & POLLIN)) return Wake::Readable;
        // A hang-up without data would wake us forever; stop watching the line.
        if (line && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) watchLine = false;
    }
}

void SimController::Impl::run() {
    auto nextTick = Clock::now() + kTickInterval;
    while (!stopping) {
        auto deadline = nextTick;
        if (!frames.empty()) deadline = std::min(deadline, lastByte + silence);
        const Wake woke = waitUntil(deadline, true);
        if (woke == Wake::Stop) break;
        const auto now = Clock::now();
        if (woke == Wake::Readable) {
            // Sit out an erroring line until the next tick instead of spinning on it.
            if (!readLine() && waitUntil(nextTick, false) == Wake::Stop) break;
        } else if (!frames.empty() && now - lastByte >= silence)
            frames.discard();
        if (Clock::now() >= nextTick) {
            std::lock_guard lock(mutex);
            advanceModel();
            nextTick = Clock::now() + kTickInterval;
        }
    }
}

bool SimController::Impl::readLine() {
    uint8_t buffer[512];
    const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) return false;
    const auto now = Clock::now();
    if (frames.empty()) frameStart = now;
    lastByte = now;
    frames.feed(buffer, std::size_t(n));
    while (auto request = frames.next()) {
        handle(*request);
        if (stopping || masterFd < 0) return true;
        frameStart = lastByte = Clock::now();
    }
    return true;
}

void SimController::Impl::handle(const Request& request) {
    if (request[0] != options.slaveId) return;
    // On a real line the request itself takes eight character times to arrive.
    const auto requestEnd = std::max(Clock::now(), frameStart + 8 * byteTime);
    std::optional<Outgoing> out;
    std::function<void(int)> hook;
    int number = 0;
    {
        std::lock_guard lock(mutex);
        hook = requestHook;
        number = requests + 1;
    }
    // Outside the lock: the hook queues its faults through the public calls.
    if (hook) hook(number);
    {
        std::lock_guard lock(mutex);
        ++requests;
        lastRequest = hexString(request.data(), request.size());
        if (requestLog.size() >= kRequestLogLimit) requestLog.erase(requestLog.begin());
        requestLog.push_back(lastRequest);
        advanceModel();
        out = faults.reply(request, [&] { return answerRequest(request, registers); });
    }
    if (!out || out->bytes.empty()) return;
    const auto start = requestEnd + seconds(options.latency + out->extraDelay);
    if (waitUntil(start, false) != Wake::Deadline) return;
    sendPaced(out->bytes, start);
}

void SimController::Impl::sendPaced(const Frame& bytes, Clock::time_point start) {
    // Each byte is handed over once its last bit would have left the wire, so
    // the reply arrives at the pace of the line without accumulating sleep error.
    std::size_t sent = 0;
    auto lastProgress = Clock::now();
    while (sent < bytes.size() && masterFd >= 0) {
        const auto now = Clock::now();
        std::size_t due = bytes.size();
        if (byteTime > Clock::duration::zero())
            due = std::min(due, std::size_t((now - start) / byteTime));
        if (due > sent) {
            const ssize_t n = ::write(masterFd, bytes.data() + sent, due - sent);
            if (n > 0) {
                sent += std::size_t(n);
                lastProgress = now;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return;
            if (now - lastProgress > kWriteStallLimit) return;
            if (waitUntil(now + std::chrono::milliseconds(1), false) == Wake::Stop) return;
            continue;
        }
        if (waitUntil(start + std::ptrdiff_t(sent + 1) * byteTime, false) == Wake::Stop) return;
    }
}

void SimController::Impl::advanceModel() {
    const auto now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - lastAdvance).count();
    lastAdvance = now;
    // The program picks the set point first, so the model follows it.
    program.advance(elapsed * options.timeScale, registers);
    model.advance(elapsed * options.timeScale, registers);
}

SimController::SimController(SimOptions options) : impl_(std::make_unique<Impl>(options)) {}

SimController::~SimController() {
    stop();
}

bool SimController::start() {
    if (impl_->worker.joinable()) return true;
    if (!impl_->open()) return false;
    impl_->stopping = false;
    impl_->closeRequested = false;
    impl_->frames.discard();
    {
        std::lock_guard lock(impl_->mutex);
        impl_->closed = false;
        impl_->lastAdvance = Clock::now();
    }
    impl_->worker = std::thread([impl = impl_.get()] { impl->run(); });
    return true;
}

void SimController::stop() {
    if (impl_->worker.joinable()) {
        impl_->stopping = true;
        impl_->wake();
        impl_->worker.join();
    }
    closeFd(impl_->masterFd);
    closeFd(impl_->slaveFd);
    closeFd(impl_->wakeFds[0]);
    closeFd(impl_->wakeFds[1]);
}

std::string SimController::devicePath() const {
    return impl_->path;
}

const SimOptions& SimController::options() const {
    return impl_->options;
}

uint16_t SimController::reg(uint16_t address) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->registers.get(address);
}

void SimController::setReg(uint16_t address, uint16_t value) {
    std::lock_guard lock(impl_->mutex);
    auto& r = impl_->registers;
    // Forcing PV moves the process itself, so the value sticks and evolves from there.
    if (address == regs::kPv)
        impl_->model.setTemperature(double(int16_t(value)) - r.getSigned(regs::kPvOffset));
    r.set(address, value);
}

int SimController::requestCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::vector<std::string> SimController::requestLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requestLog;
}

void SimController::clearRequestLog() {
    std::lock_guard lock(impl_->mutex);
    impl_->requestLog.clear();
}

std::string SimController::lastRequestHex() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastRequest;
}

void SimController::dropReplies(int count) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.dropReplies(count);
}

void SimController::flipBit(int byteIndex, int bit) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.flipBit(byteIndex, bit);
}

void SimController::truncateNext(int length) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.truncateNext(length);
}

void SimController::delayNext(double seconds) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.delayNext(seconds);
}

void SimController::wrongSlaveNext(uint8_t address) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.wrongSlaveNext(address);
}

void SimController::exceptionNext(uint8_t code) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.exceptionNext(code);
}

void SimController::noiseNext(int byteCount) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.noiseNext(byteCount);
}

void SimController::sendNoise(int byteCount) {
    std::vector<uint8_t> noise(std::size_t(std::max(byteCount, 0)));
    {
        std::lock_guard lock(impl_->mutex);
        for (auto& b : noise)
            b = uint8_t(impl_->noiseRandom());
    }
    // A pty takes a few bytes at once; the line is idle between requests.
    if (impl_->masterFd >= 0 && !noise.empty()) {
        [[maybe_unused]] auto n = ::write(impl_->masterFd, noise.data(), noise.size());
    }
}

void SimController::setRequestHook(std::function<void(int)> hook) {
    std::lock_guard lock(impl_->mutex);
    impl_->requestHook = std::move(hook);
}

void SimController::closeLine() {
    Impl& d = *impl_;
    if (!d.worker.joinable()) {
        d.closeMaster();
        return;
    }
    d.closeRequested = true;
    d.wake();
    // Return once the line is really gone so callers can rely on the hang-up.
    std::unique_lock lock(d.mutex);
    d.lineClosed.wait_for(lock, std::chrono::seconds(2), [&] { return d.closed; });
}

} // namespace sim
