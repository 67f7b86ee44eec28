#pragma once
// A disk of 1 MiB of its own (a tmpfs mounted in a test's folder), for what
// a program does when the disk fills. Mounting needs root, as the tests
// have in CI; elsewhere mounted() is false and why() says so.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class SmallDisk {
  public:
    explicit SmallDisk(std::string at) : at_(std::move(at)) {
        ::mkdir(at_.c_str(), 0755);
        if (::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=1m") == 0)
            mounted_ = true;
        else
            why_ = "a tmpfs cannot be mounted here (" + std::string(std::strerror(errno)) +
                   "): the full disk needs root";
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    // Takes every byte left, in one file.
    void fill() const {
        std::ofstream out(at_ + "/fill", std::ios::binary);
        const std::string block(4096, 'x');
        while (out.write(block.data(), std::streamsize(block.size())) && out.flush()) {
        }
    }
    // Gives it back.
    bool free() const { return ::unlink((at_ + "/fill").c_str()) == 0; }

  private:
    std::string at_;
    bool mounted_ = false;
    std::string why_;
};
