#pragma once
// The real program binary, started the way an operator starts it, in a
// scratch folder of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

template <class Pred> bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return pred();
}

class ProgramRun : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7e2e.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        program = binaryDir() + "/q7";
        ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::string cmd = "rm -rf '" + dir + "'";
        (void)std::system(cmd.c_str());
    }

    static std::string binaryDir() {
        const char* bin = std::getenv("Q7_BINARY_DIR");
        return bin ? bin : ".";
    }

    // env: variables to set, or with no value to unset, in the program's
    // environment. Its standard output goes to out(), its standard error to
    // err(), where it also names each popup as it opens.
    void start(const std::vector<std::string>& args,
               const std::map<std::string, std::optional<std::string>>& env = {},
               const std::string& cwd = "") {
        // A run before this one must not answer for it.
        std::remove((dir + "/.stdout").c_str());
        std::remove((dir + "/.stderr").c_str());
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir((cwd.empty() ? dir : cwd).c_str()) != 0) _exit(127);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("Q7_POPUP_LOG", "1", 1);
            for (const auto& [name, value] : env) {
                if (value)
                    setenv(name.c_str(), value->c_str(), 1);
                else
                    unsetenv(name.c_str());
            }
            if (!freopen((dir + "/.stdout").c_str(), "w", stdout)) _exit(127);
            if (!freopen((dir + "/.stderr").c_str(), "w", stderr)) _exit(127);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }

    // Waits for the program to end by itself; its exit status, or -1, when
    // it did not end in time and was killed rather than left behind.
    int finish(std::chrono::seconds deadline = 30s) {
        int status = 0;
        const bool ended = waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, deadline);
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        pid = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int stop(int signal) {
        kill(pid, signal);
        return finish();
    }

    std::string out() const { return slurp(dir + "/.stdout"); }
    std::string err() const { return slurp(dir + "/.stderr"); }
    bool popupShown(const std::string& title) const {
        return err().find("q7: popup open: " + title + "\n") != std::string::npos;
    }

    std::string dir;
    std::string program;
    pid_t pid = -1;
};

} // namespace e2e
