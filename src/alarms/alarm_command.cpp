#include "alarms/alarm_command.h"

#include "base/number_text.h"
#include "runs/program_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// q7's environment with the event's variables in place of any of the same name.
std::vector<std::string> environment(const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : env)
            replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced) out.push_back(entry);
    }
    for (const auto& [name, value] : env)
        out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::string endText(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 0 ? "done"
                                        : "exited with status " + formatWhole(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("ended by ") + strsignal(WTERMSIG(status));
    return "ended";
}

} // namespace

CommandRunner::Started
CommandRunner::start(const Key& key, const std::vector<std::string>& argv,
                     const std::vector<std::pair<std::string, std::string>>& env) {
    using R = Started::Result;
    if (const auto it = running_.find(key); it != running_.end())
        return {R::busy,
                "not started: its last one still runs (pid " + formatWhole(it->second.pid) + ")"};
    if (argv.empty()) return {R::failed, "cannot start: no program named"};
    std::vector<std::string> args = argv, envs = environment(env);
    std::vector<char*> argp = pointers(args), envp = pointers(envs);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    // It reads nothing of ours, and what it prints goes to our stderr, never
    // into a command's output that a script reads.
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, 2, 1);
    // Nothing else of ours: a command that outlives q7 must not keep the
    // port's lock, the data log or the run store open.
    posix_spawn_file_actions_addclosefrom_np(&files, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so a kill at the limit reaches what it started;
    // and the signals q7 blocks (a command's stop signals) are its again.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int err = posix_spawn(&pid, argv[0].c_str(), &files, &attr, argp.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    if (err != 0) return {R::failed, "cannot start: " + std::string(std::strerror(err))};
    running_[key] = Child{pid, argv[0], lineClock().now(), false};
    return {R::started, "started (pid " + formatWhole(pid) + ")"};
}

std::vector<CommandRunner::Ended> CommandRunner::reap() {
    std::vector<Ended> out;
    const auto now = lineClock().now();
    const auto limit = std::chrono::duration_cast<Clock::TimePoint::duration>(
        std::chrono::duration<double>(limits_.killAfterSeconds));
    for (auto it = running_.begin(); it != running_.end();) {
        Child& c = it->second;
        int status = 0;
        const pid_t done = ::waitpid(c.pid, &status, WNOHANG);
        if (done == c.pid || (done < 0 && errno == ECHILD)) {
            Ended e{it->first, c.program, false, ""};
            if (c.killed)
                e.text = "killed after " + numberText(limits_.killAfterSeconds) + " s";
            else if (done < 0)
                e.text = "ended unseen";
            else {
                e.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
                e.text = endText(status);
            }
            out.push_back(e);
            it = running_.erase(it);
            continue;
        }
        if (!c.killed && now - c.started >= limit) {
            ::kill(-c.pid, SIGKILL);
            c.killed = true;
        }
        ++it;
    }
    return out;
}
