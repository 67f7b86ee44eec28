#pragma once
// What the benchmarks of `q7 serve` share: a free loopback port, a program
// started with its output dropped and ended on every way out, a broker, a
// scratch folder, and the CPU a process has used.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace bench {

inline int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    close(fd);
    return ntohs(a.sin_port);
}

inline pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline void end(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// A started program, ended (SIGTERM, then reaped) when it goes out of
// scope, so that a benchmark that gives up early leaves nothing running.
class Process {
  public:
    explicit Process(pid_t pid = -1) : pid_(pid) {}
    Process(Process&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    Process& operator=(Process&& other) noexcept {
        if (this != &other) {
            end(pid_);
            pid_ = std::exchange(other.pid_, -1);
        }
        return *this;
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() { end(pid_); }
    pid_t pid() const { return pid_; }
    void stop() { end(std::exchange(pid_, -1)); }

  private:
    pid_t pid_;
};

// A mosquitto on loopback at port, its config in dir.
inline Process startBroker(const std::string& dir, int port) {
    std::ofstream(dir + "/mosquitto.conf")
        << "listener " << port << " 127.0.0.1\nallow_anonymous true\npersistence false\n";
    Process broker(spawn({"mosquitto", "-c", dir + "/mosquitto.conf"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return broker;
}

// A scratch folder under /tmp, removed with what is in it on every way out.
class ScratchFolder {
  public:
    explicit ScratchFolder(const char* prefix) {
        std::string pattern = std::string("/tmp/") + prefix + ".XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    // Empty when no folder could be made.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// User plus system seconds the process has used so far.
inline double cpuOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string f;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) user = std::stoull(f);
        if (i == 15) system = std::stoull(f);
    }
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

} // namespace bench
