#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& args, bool captureOutput,
                           const std::string& errorLog) {
    // Everything the child needs is made before it exists: the test process
    // has threads, and a forked copy of it may only exec.
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    if (captureOutput && ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput) posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (!errorLog.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
        ::close(out[1]);
        output_ = out[0];
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && status_ < 0 && stop(SIGTERM) < 0) stop(SIGKILL);
    if (output_ >= 0) ::close(output_);
}

bool ChildProcess::reap(int options) {
    int status = 0;
    if (pid_ <= 0 || status_ >= 0) return true;
    if (::waitpid(pid_, &status, options) != pid_) return false;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool ChildProcess::running() {
    return !reap(WNOHANG);
}

std::string ChildProcess::firstLine(std::chrono::milliseconds within) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (output_ >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{output_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char c;
        if (::read(output_, &c, 1) != 1) break;
        if (c == '\n') return text;
        text += c;
    }
    return "";
}

int ChildProcess::stop(int signal, std::chrono::milliseconds within) {
    if (pid_ <= 0) return -1;
    if (status_ < 0) ::kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        ::poll(nullptr, 0, 10);
    }
    return status_;
}
