#pragma once
// The real q7 binary run as a script runs it: in a scratch folder of its own,
// with no display in its environment (neither DISPLAY nor QT_QPA_PLATFORM),
// its output and exit status collected.
#include "sim/sim_controller.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace cli {

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Ran {
    int status = -1; // the exit status; -1 when it did not end by itself
    std::string out, err;
};

// A pseudo-terminal with nothing behind it: a controller that is off. It
// keeps every byte the program sends.
struct SilentLine {
    SilentLine() {
        char name[256];
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) device = name;
        if (master >= 0) fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~SilentLine() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    std::string sent() {
        char buf[256];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0)
            bytes.append(buf, std::size_t(n));
        return bytes;
    }
    int master = -1, slave = -1;
    std::string device, bytes;
};

inline std::string programPath() {
    const char* bin = std::getenv("Q7_BINARY_DIR");
    return std::string(bin ? bin : ".") + "/q7";
}

// Starts q7 with args in dir, its output to dir/.stdout and its stderr to
// dir/.stderr, or to errDevice when one is named (e.g. a terminal; with
// bothThere its output goes there too, as in a terminal's shell). tag keeps
// the files of programs running side by side apart. -1 when it could not
// start.
inline pid_t startQ7(const std::string& dir, const std::vector<std::string>& args,
                     const std::string& errDevice = "", const std::string& tag = "",
                     bool bothThere = false) {
    const std::string program = programPath();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        const bool display = var.rfind("DISPLAY=", 0) == 0 ||
                             var.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                             var.rfind("QT_QPA_PLATFORM=", 0) == 0;
        if (!display) env.push_back(var);
    }
    const std::string out = dir + "/.stdout" + tag, err = dir + "/.stderr" + tag;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    if (bothThere)
        posix_spawn_file_actions_addopen(&actions, 1, errDevice.c_str(), O_WRONLY | O_NOCTTY, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    if (errDevice.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    else
        posix_spawn_file_actions_addopen(&actions, 2, errDevice.c_str(), O_WRONLY | O_NOCTTY, 0);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return -1;
    }
    return pid;
}

// Waits for a q7 that startQ7 started to end, and collects what it said.
inline Ran finishQ7(pid_t pid, const std::string& dir, const std::string& tag = "") {
    Ran ran;
    if (pid < 0) return ran;
    // A generous deadline: a program that hangs fails the test instead of holding it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "q7 did not end";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) ran.status = WEXITSTATUS(status);
    ran.out = slurp(dir + "/.stdout" + tag);
    ran.err = slurp(dir + "/.stderr" + tag);
    return ran;
}

// Runs q7 with args in dir and waits for it to end.
inline Ran runQ7(const std::string& dir, const std::vector<std::string>& args,
                 const std::string& errDevice = "") {
    return finishQ7(startQ7(dir, args, errDevice), dir);
}

// A test in a scratch folder of its own.
class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7cli.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(access(programPath().c_str(), X_OK), 0) << programPath();
    }
    void TearDown() override {
        const std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
    }

    Ran run(const std::vector<std::string>& args) { return runQ7(dir, args); }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string readFile(const std::string& name) const { return slurp(path(name)); }
    void writeFile(const std::string& name, const std::string& content) const {
        std::ofstream(path(name), std::ios::binary) << content;
    }
    bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }

    std::string dir;
};

// With the simulated controller on a real pseudo-terminal, reached as COM 1:
// with no DftCom.prm the commands' default port and id.
class CliSimTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        sim = std::make_unique<sim::SimController>(simOptions);
        ASSERT_TRUE(sim->start());
    }
    void TearDown() override {
        sim->stop();
        CliTest::TearDown();
    }
    // q7 --com 1=<the simulator> args...
    Ran q7(std::vector<std::string> args) {
        args.insert(args.begin(), {"--com", "1=" + sim->devicePath()});
        return run(args);
    }
    // The requests the simulator saw, without their CRC.
    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        for (const std::string& r : sim->requestLog())
            out.push_back(r.substr(0, 17));
        return out;
    }

    sim::SimOptions simOptions;
    std::unique_ptr<sim::SimController> sim;
};

// The lines of a text.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace cli
