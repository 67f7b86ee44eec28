#pragma once
// Holding a serial device against every other program, root included, the
// way Linux serial tools agree on: a lock file in /run/lock naming our
// process (LCK..ttyS0, LCK..pts_5), taken before the device is opened, and
// flock on the open device. TIOCEXCL alone does not stop root.
#include <string>

class PortLock {
  public:
    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock file for device, where the system has the folder for
    // it. A lock of a process that is gone is taken over. 0, or -EBUSY with
    // "DEVICE: in use by process N (NAME), lock file F" in *why.
    int takeFile(const std::string& device, std::string* why);
    // Locks the open device itself. 0, or -EBUSY with the holder in *why.
    int takeDevice(int fd, const std::string& device, std::string* why);
    // Removes the lock file if it still names this process; the device's
    // own lock goes with its descriptor.
    void release();

  private:
    std::string file_;
};

// Removes every lock file this process holds, for an end that skips the
// ports' own closing (the forced end after a signal).
void releasePortLocks();
