#pragma once
// The real parts around a bridge under test: a mosquitto broker on a free
// loopback port with a config of its own, mosquitto_sub and mosquitto_pub as
// the independent client, and q7 serve itself; each started here and
// stopped by its PID.
#include <gtest/gtest.h>

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
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace serve_test {

using Deadline = std::chrono::steady_clock::time_point;
inline Deadline secondsFromNow(int s) {
    return std::chrono::steady_clock::now() + std::chrono::seconds(s);
}

// Waits, with the deadline as the only bound, until ready() holds.
inline bool waitFor(const std::function<bool()>& ready, Deadline deadline) {
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A program in the background, its output in files.
class Process {
  public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() { stop(SIGKILL); }

    // cwd: the folder it runs in, when not this one.
    bool start(const std::vector<std::string>& args, const std::string& out, const std::string& err,
               const std::string& cwd = "") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
        return rc == 0;
    }
    void signal(int signal) {
        if (pid_ > 0) kill(pid_, signal);
    }
    pid_t pid() const { return pid_; }
    // Sends the signal and waits for the end; the exit status, or -1.
    int stop(int signal = SIGTERM) {
        if (pid_ <= 0) return status_;
        kill(pid_, signal);
        const Deadline end = secondsFromNow(20);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }
    // Reaps the program once it ended.
    bool running() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) == 0) return pid_ > 0;
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }

  private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Runs a program to its end (or 20 s); its exit status.
inline int runToEnd(const std::vector<std::string>& args, const std::string& dir,
                    const std::string& cwd = "") {
    Process p;
    if (!p.start(args, dir + "/.run.out", dir + "/.run.err", cwd)) return -1;
    const Deadline end = secondsFromNow(20);
    waitFor([&] { return !p.running(); }, end);
    return p.stop(SIGKILL);
}

inline int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

inline bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// mosquitto on 127.0.0.1, logging every packet to NAME.err (its config
// NAME.conf, mosquitto.conf for the first), with more of a config after its
// own lines. It retains nothing across a restart unless it is persistent:
// then it keeps its retained messages and its clients' sessions in dir.
class Broker {
  public:
    explicit Broker(std::string dir, std::string name = "broker", const std::string& more = "",
                    bool persistent = false)
        : dir_(std::move(dir)), name_(std::move(name)), port_(freeLoopbackPort()) {
        std::ofstream(conf()) << "listener " << port_ << " 127.0.0.1\n"
                              << "allow_anonymous true\n"
                              << (persistent
                                      ? "user root\npersistence true\npersistence_location " +
                                            dir_ + "/\n"
                                      : "persistence false\n")
                              << "log_type all\n"
                              << more;
    }
    bool start() {
        if (!process_.start({"mosquitto", "-c", conf()}, dir_ + "/" + name_ + ".out",
                            dir_ + "/" + name_ + ".err"))
            return false;
        return waitFor([&] { return accepts(port_); }, secondsFromNow(20));
    }
    void stop() { process_.stop(SIGTERM); }
    int port() const { return port_; }
    std::string log() const { return slurp(dir_ + "/" + name_ + ".err"); }

  private:
    std::string conf() const {
        return dir_ + "/" + (name_ == "broker" ? std::string("mosquitto") : name_) + ".conf";
    }
    std::string dir_, name_;
    int port_;
    Process process_;
};

// mosquitto_sub -v on the topics: one line "TOPIC PAYLOAD" per message.
class Subscriber {
  public:
    Subscriber(const Broker& broker, const std::string& dir, const std::vector<std::string>& topics)
        : file_(dir + "/sub" + std::to_string(++count()) + ".out") {
        std::vector<std::string> args{
            "mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(broker.port()), "-v"};
        for (const std::string& t : topics)
            args.insert(args.end(), {"-t", t});
        process_.start(args, file_, file_ + ".err");
    }
    // The payload of the first message on topic whose payload holds every
    // one of `holding`; empty when none came by the deadline.
    std::string await(const std::string& topic, const std::vector<std::string>& holding,
                      int seconds = 30) {
        std::string found;
        waitFor(
            [&] {
                std::istringstream in(slurp(file_));
                for (std::string line; std::getline(in, line);) {
                    if (line.rfind(topic + " ", 0) != 0) continue;
                    const std::string payload = line.substr(topic.size() + 1);
                    bool all = true;
                    for (const std::string& h : holding)
                        all = all && payload.find(h) != std::string::npos;
                    if (all) {
                        found = payload;
                        return true;
                    }
                }
                return false;
            },
            secondsFromNow(seconds));
        return found;
    }
    std::string all() const { return slurp(file_); }
    const std::string& file() const { return file_; }

  private:
    static int& count() {
        static int n = 0;
        return n;
    }
    std::string file_;
    Process process_;
};

inline void publish(const Broker& broker, const std::string& dir, const std::string& topic,
                    const std::string& payload, bool retain = false) {
    std::vector<std::string> args{
        "mosquitto_pub", "-h", "127.0.0.1", "-p", std::to_string(broker.port()), "-q", "1", "-t",
        topic,           "-m", payload};
    if (retain) args.push_back("-r");
    EXPECT_EQ(runToEnd(args, dir), 0);
}

} // namespace serve_test
