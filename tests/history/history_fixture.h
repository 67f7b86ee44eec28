#pragma once
// The history's command tests: a folder of their own with a real
// runs.sqlite, filled with the runs of stored_runs.h, that the commands
// read as a user runs them.
#include "cli/cli_run.h"
#include "history/stored_runs.h"

#include <cstdlib>
#include <grp.h>
#include <pwd.h>

using namespace cli;
using namespace storedruns;

class History : public CliTest {
  protected:
    std::unique_ptr<RunStore> store() { return openStore(path(kRunStoreFile)); }

    // SQL run on the store by sqlite3, as another tool edits it: its status.
    int sqlite3(const std::string& sql) {
        return std::system(("sqlite3 '" + path(kRunStoreFile) + "' \"" + sql + "\"").c_str());
    }

    // q7 with args in dir/sub, as a user who may not write what root may:
    // run as root (as the tests are in CI), it drops to nobody first. Its
    // output goes to dir's .stdout and .stderr. Status 125: it could not.
    Ran runUnprivileged(const std::string& sub, const std::vector<std::string>& args) {
        const passwd* nobody = getpwnam("nobody");
        const bool drop = geteuid() == 0;
        if (drop && !nobody) return Ran{125, "", "no user nobody"};
        const std::string program = programPath(), where = path(sub);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("DISPLAY=", 0) != 0 &&
                std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0)
                env.push_back(*e);
        std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const int out = ::open(path(".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(path(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out, 1);
            dup2(err, 2);
            if (chdir(where.c_str()) != 0) _exit(125);
            if (drop && (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
                         setuid(nobody->pw_uid) != 0))
                _exit(125);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(125);
        }
        ::close(out);
        ::close(err);
        return finishQ7(pid, dir);
    }
};
