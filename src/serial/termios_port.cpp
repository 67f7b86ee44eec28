#include "serial/port_lock.h"
#include "serial/serial_port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedFor(long baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0;
    }
}

// Status bits for the driver's line-error counters.
constexpr int kInputLost = 0x0001;
constexpr int kParity = 0x0010;
constexpr int kOverrun = 0x0020;
constexpr int kFraming = 0x0040;
constexpr int kBreak = 0x0080;

class TermiosPort final : public SerialPort {
  public:
    ~TermiosPort() override { close(); }

    int open(const std::string& device, std::string* why) override {
        close();
        // Another program on the same line would corrupt every exchange.
        // The lock file is looked at before the device is opened, as the
        // other tools do: opening may already disturb the line.
        if (const int rc = lock_.takeFile(device, why); rc < 0) return rc;
        int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            const int err = errno;
            if (why) *why = device + ": " + std::strerror(err);
            lock_.release();
            return -err;
        }
        // Locked before TIOCEXCL, so a program that holds the port keeps it as it had it.
        if (const int rc = lock_.takeDevice(fd, device, why); rc < 0) return giveUp(fd, rc);
        if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
            const int err = errno;
            if (why) *why = device + ": cannot take the port exclusively: " + std::strerror(err);
            return giveUp(fd, -err);
        }
        if (tcgetattr(fd, &saved_) != 0) {
            const int err = errno;
            if (why) *why = device + ": not a serial device: " + std::strerror(err);
            return giveUp(fd, -err);
        }
        fd_ = fd;
        haveCounters_ = ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
        return 0;
    }

    int configure(long baud, int parity, int dataBits, int stopBits) override {
        if (fd_ < 0) return -EBADF;
        const speed_t speed = speedFor(baud);
        if (speed == B0) return -EINVAL;
        termios tio = saved_;
        cfmakeraw(&tio);
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag |= dataBits == 7 ? CS7 : CS8;
        if (stopBits == 2) tio.c_cflag |= CSTOPB;
        if (parity == 1) tio.c_cflag |= PARENB | PARODD;
        if (parity == 2) tio.c_cflag |= PARENB;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) return -errno;
        return 0;
    }

    int write(const uint8_t* data, int count) override {
        if (fd_ < 0) return -EBADF;
        int done = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (done < count) {
            const ssize_t n = ::write(fd_, data + done, size_t(count - done));
            if (n > 0) {
                done += int(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                if (!waitFor(POLLOUT, deadline)) break;
                continue;
            }
            if (n < 0) noteFailure(errno);
            break; // the device failed or vanished
        }
        return done;
    }

    int readUntil(uint8_t* data, int count, Deadline deadline) override {
        if (fd_ < 0) return 0;
        int got = 0;
        while (got < count) {
            const ssize_t n = ::read(fd_, data + got, size_t(count - got));
            if (n > 0) {
                got += int(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (n < 0 && errno == EAGAIN)) {
                if (!waitFor(POLLIN, deadline)) break;
                continue;
            }
            noteFailure(errno);
            break; // EIO and friends: the device is gone, do not spin
        }
        return got;
    }

    void flushInput() override {
        if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
    }
    void flushOutput() override {
        if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
    }

    int takeLineErrors() override {
        if (fd_ < 0 || !haveCounters_) return 0;
        serial_icounter_struct now{};
        if (ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
        int bits = 0;
        if (now.buf_overrun != counters_.buf_overrun) bits |= kInputLost;
        if (now.parity != counters_.parity) bits |= kParity;
        if (now.overrun != counters_.overrun) bits |= kOverrun;
        if (now.frame != counters_.frame) bits |= kFraming;
        if (now.brk != counters_.brk) bits |= kBreak;
        counters_ = now;
        return bits;
    }

    void close() override {
        if (fd_ < 0) return;
        tcsetattr(fd_, TCSANOW, &saved_);
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        lost_ = false;
        lock_.release();
    }

    bool isOpen() const override { return fd_ >= 0; }
    bool lost() const override { return lost_; }

  private:
    // An open that failed half-way lets go of everything it took.
    int giveUp(int fd, int rc) {
        ::close(fd);
        lock_.release();
        return rc;
    }

    // Waits for the event until the deadline. False on time-out or when the
    // device reports an error or hang-up, so callers never spin on a dead line.
    bool waitFor(short events, Deadline deadline) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{fd_, events, 0};
            const int r = ::poll(&p, 1, int(left.count()) + 1);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            if (p.revents & (POLLERR | POLLNVAL)) {
                lost_ = true;
                return false;
            }
            if (p.revents & events) return true;
            if (p.revents & POLLHUP) {
                lost_ = true;
                return false;
            }
        }
    }

    void noteFailure(int err) {
        if (err == EIO || err == ENXIO || err == ENODEV || err == EBADF) lost_ = true;
    }

    int fd_ = -1;
    bool lost_ = false;
    termios saved_{};
    serial_icounter_struct counters_{};
    bool haveCounters_ = false;
    PortLock lock_;
};

} // namespace

std::unique_ptr<SerialPort> makeTermiosPort() {
    return std::make_unique<TermiosPort>();
}
