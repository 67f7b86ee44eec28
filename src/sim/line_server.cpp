#include "sim/line_server.h"

#include "sim/sim_port.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = LineServer::Clock;

// How often the process models catch up with the clock between requests.
constexpr auto kTickInterval = std::chrono::milliseconds(50);
// A reply the master does not read gets abandoned rather than wedging the slave.
constexpr auto kWriteStallLimit = std::chrono::seconds(1);
// Masters connected at once; one that leaks connections cannot use up our descriptors.
constexpr std::size_t kMaxClients = 8;

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

LineServer::LineServer(SimOptions o) : options(std::move(o)) {
    if (options.ids.empty()) options.ids = {options.slaveId};
    std::vector<uint8_t> ids;
    for (uint8_t id : options.ids)
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    options.ids = ids;
    options.slaveId = ids.front();
    for (uint8_t id : ids) {
        Process process = options.kiln ? Process::kiln() : Process::bench();
        for (const Slowed& s : options.slowed)
            if (s.id == id) process.heating = s.heating;
        units.emplace_back(id, options.variant, process);
    }
}

LineServer::~LineServer() {
    stop();
}

SimUnit* LineServer::unit(uint8_t id) {
    for (auto& u : units)
        if (u.id == id) return &u;
    return nullptr;
}

bool LineServer::open() {
    const long baud = options.baudRate > 0 ? options.baudRate : 0;
    byteTime_ = baud ? seconds(11.0 / double(baud)) : Clock::duration::zero();
    // Above 19200 baud the usual fixed 1.75 ms applies.
    silence_ = baud && baud <= 19200 ? seconds(3.5 * 11.0 / double(baud))
                                     : std::chrono::microseconds(1750);
    mbap_ = options.listen && !options.listen->rtu;
    if (options.listen) {
        listenFd_ = listenOn(options.listen->host, options.listen->port, port_);
        if (listenFd_ < 0) return false;
        path_ = std::string(mbap_ ? "tcp://" : "rtu+tcp://") + options.listen->host + ":" +
                std::to_string(port_);
    } else {
        Pty pty;
        if (!openPty(pty)) return false;
        ptySlave_ = pty.slave;
        path_ = pty.path;
        auto stream = std::make_unique<Stream>();
        stream->fd = pty.master;
        streams_.push_back(std::move(stream));
    }
    if (::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int saved = errno;
        closeAll();
        errno = saved;
        return false;
    }
    return true;
}

void LineServer::wake() {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(wakeFds_[1], &byte, 1);
}

void LineServer::closeStream(Stream& stream) {
    std::lock_guard lock(ioMutex_);
    closeFd(stream.fd);
    stream.rtu.discard();
}

void LineServer::closeStreams() {
    for (auto& stream : streams_)
        closeStream(*stream);
    {
        std::lock_guard lock(ioMutex_);
        closeFd(ptySlave_);
    }
    std::lock_guard lock(mutex);
    ++closures_;
    lineClosed_.notify_all();
}

void LineServer::closeAll() {
    std::lock_guard lock(ioMutex_);
    for (auto& stream : streams_)
        closeFd(stream->fd);
    streams_.clear();
    closeFd(ptySlave_);
    closeFd(listenFd_);
    closeFd(wakeFds_[0]);
    closeFd(wakeFds_[1]);
}

LineServer::Wake LineServer::waitUntil(Clock::time_point deadline, std::span<pollfd> line) {
    std::vector<pollfd> fds;
    for (;;) {
        if (stopping_) return Wake::Stop;
        if (closeRequested_.exchange(false)) {
            closeStreams();
            // The caller's descriptors are stale now; let it look again.
            if (!line.empty()) return Wake::Readable;
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return Wake::Deadline;

        fds.assign(1, pollfd{wakeFds_[0], POLLIN, 0});
        fds.insert(fds.end(), line.begin(), line.end());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
        const int n = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (n < 0 && errno != EINTR) return Wake::Deadline;
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeFds_[0], drain, sizeof drain) > 0) {
            }
            continue;
        }
        for (std::size_t i = 0; i < line.size(); ++i)
            line[i].revents = fds[i + 1].revents;
        return Wake::Readable;
    }
}

void LineServer::run() {
    auto nextTick = Clock::now() + kTickInterval;
    std::vector<pollfd> line;
    while (!stopping_) {
        auto deadline = nextTick;
        line.clear();
        if (listenFd_ >= 0) line.push_back({listenFd_, POLLIN, 0});
        for (const auto& s : streams_) {
            if (s->fd < 0) continue;
            line.push_back({s->fd, POLLIN, 0});
            if (!s->rtu.empty()) deadline = std::min(deadline, s->lastByte + silence_);
        }
        const Wake woke = waitUntil(deadline, line);
        if (woke == Wake::Stop) break;
        const bool sitOut = woke == Wake::Readable && serviceLine(line);
        const auto now = Clock::now();
        for (const auto& s : streams_)
            if (!s->rtu.empty() && now - s->lastByte >= silence_) s->rtu.discard();
        {
            std::lock_guard lock(ioMutex_);
            std::erase_if(streams_, [](const auto& s) { return s->fd < 0; });
        }
        // Sit out an erroring pty until the next tick instead of spinning on it.
        if (sitOut && waitUntil(nextTick) == Wake::Stop) break;
        if (Clock::now() >= nextTick) {
            std::lock_guard lock(mutex);
            advanceModel();
            nextTick = Clock::now() + kTickInterval;
        }
    }
}

bool LineServer::serviceLine(std::span<const pollfd> line) {
    bool sitOut = false;
    for (const pollfd& p : line) {
        if (stopping_) break;
        if (!p.revents) continue;
        if (p.fd == listenFd_) {
            acceptWaiting();
            continue;
        }
        const auto it = std::find_if(streams_.begin(), streams_.end(),
                                     [&](const auto& s) { return s->fd == p.fd; });
        if (it == streams_.end()) continue;
        Stream& stream = **it;
        // A hang-up without data would wake us forever, so it counts as an error.
        if ((p.revents & POLLIN) ? readStream(stream) : false) continue;
        if (stream.socket)
            closeStream(stream); // the master went away; the port keeps listening
        else
            sitOut = true;
    }
    return sitOut;
}

void LineServer::acceptWaiting() {
    for (int fd; (fd = acceptClient(listenFd_)) >= 0;) {
        if (streams_.size() >= kMaxClients) {
            ::close(fd);
            continue;
        }
        auto stream = std::make_unique<Stream>();
        stream->fd = fd;
        stream->socket = true;
        std::lock_guard lock(ioMutex_);
        streams_.push_back(std::move(stream));
    }
}

bool LineServer::readStream(Stream& s) {
    uint8_t buffer[512];
    const ssize_t n = ::read(s.fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) return false;
    if (mbap_) {
        s.mbap.feed(buffer, std::size_t(n));
        while (auto request = s.mbap.next()) {
            s.frameStart = Clock::now();
            handle(s, request->request, &*request);
            if (stopping_ || s.fd < 0) return true;
        }
        return !s.mbap.broken();
    }
    const auto now = Clock::now();
    if (s.rtu.empty()) s.frameStart = now;
    s.lastByte = now;
    s.rtu.feed(buffer, std::size_t(n));
    while (auto request = s.rtu.next()) {
        handle(s, *request, nullptr);
        if (stopping_ || s.fd < 0) return true;
        s.frameStart = s.lastByte = Clock::now();
    }
    return true;
}

void LineServer::handle(Stream& stream, const Request& request, const MbapRequest* framed) {
    std::function<void(int)> hook;
    int number = 0;
    {
        std::lock_guard lock(mutex);
        const SimUnit* target = unit(request[0]);
        if (!target || !target->answering) return;
        hook = requestHook;
        number = requests + 1;
    }
    // On a real line the request itself takes eight character times to arrive.
    const auto requestEnd = std::max(Clock::now(), stream.frameStart + 8 * byteTime_);
    // Outside the lock: the hook queues its faults through the public calls.
    if (hook) hook(number);
    std::optional<Frame> reply;
    Outgoing out;
    {
        std::lock_guard lock(mutex);
        ++requests;
        lastRequest = framed ? framed->hex : hexString(request.data(), request.size());
        if (requestLog.size() >= kRequestLogLimit) requestLog.erase(requestLog.begin());
        requestLog.push_back(lastRequest);
        advanceModel();
        RegisterMap& registers = unit(request[0])->registers;
        reply = faults.answer(request, [&] {
            return framed && !framed->wellFormed ? answerMalformed(request)
                                                 : answerRequest(request, registers);
        });
        if (!reply) return;
        out = faults.onWire(framed ? mbapReply(framed->transaction, *reply) : *reply);
    }
    if (out.bytes.empty()) return;
    auto start = requestEnd + seconds(options.latency + out.extraDelay);
    // A gateway passes the reply on once the whole of it has come off the serial line.
    if (framed) start += std::ptrdiff_t(reply->size()) * byteTime_;
    sendAt(stream, out.bytes, start, !framed);
}

void LineServer::sendAt(Stream& stream, const Frame& bytes, Clock::time_point start, bool paced) {
    if (waitUntil(start) != Wake::Deadline) return;
    // Each byte is handed over once its last bit would have left the wire, so
    // the reply arrives at the pace of the line without accumulating sleep error.
    std::size_t sent = 0;
    auto lastProgress = Clock::now();
    while (sent < bytes.size() && stream.fd >= 0) {
        const auto now = Clock::now();
        std::size_t due = bytes.size();
        if (paced && byteTime_ > Clock::duration::zero())
            due = std::min(due, std::size_t((now - start) / byteTime_));
        if (due > sent) {
            const ssize_t n = writeTo(stream.fd, stream.socket, bytes.data() + sent, due - sent);
            if (n > 0) {
                sent += std::size_t(n);
                lastProgress = now;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return;
            if (now - lastProgress > kWriteStallLimit) return;
            if (waitUntil(now + std::chrono::milliseconds(1)) == Wake::Stop) return;
            continue;
        }
        if (waitUntil(start + std::ptrdiff_t(sent + 1) * byteTime_) == Wake::Stop) return;
    }
}

void LineServer::advanceModel() {
    const auto now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - lastAdvance_).count();
    lastAdvance_ = now;
    for (auto& u : units)
        u.advance(elapsed * options.timeScale);
}

bool LineServer::start() {
    if (worker_.joinable()) return true;
    if (!open()) return false;
    stopping_ = false;
    closeRequested_ = false;
    {
        std::lock_guard lock(mutex);
        lastAdvance_ = Clock::now();
    }
    worker_ = std::thread([this] { run(); });
    return true;
}

void LineServer::stop() {
    if (worker_.joinable()) {
        stopping_ = true;
        wake();
        worker_.join();
    }
    closeAll();
}

void LineServer::closeLine() {
    if (!worker_.joinable()) {
        closeStreams();
        return;
    }
    std::unique_lock lock(mutex);
    const int before = closures_;
    closeRequested_ = true;
    wake();
    lineClosed_.wait_for(lock, std::chrono::seconds(2), [&] { return closures_ != before; });
}

void LineServer::sendNoise(int byteCount) {
    std::vector<uint8_t> noise(std::size_t(std::max(byteCount, 0)));
    {
        std::lock_guard lock(mutex);
        for (auto& b : noise)
            b = uint8_t(noiseRandom_());
    }
    if (noise.empty()) return;
    // A pty takes a few bytes at once; the line is idle between requests.
    std::lock_guard lock(ioMutex_);
    for (const auto& s : streams_) {
        if (s->fd >= 0) {
            [[maybe_unused]] auto n = writeTo(s->fd, s->socket, noise.data(), noise.size());
        }
    }
}

} // namespace sim
