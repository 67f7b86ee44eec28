#include "serve/users_command.h"

#include "cli/command_args.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "web/web_users.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

// One line of stdin, or of the terminal without its echo.
std::optional<std::string> readLine(bool terminal, const std::string& prompt) {
    termios old{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt.c_str());
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &old);
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = bool(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        std::fprintf(stderr, "\n");
    }
    if (!got) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The new password: typed twice on a terminal, else stdin's first line.
std::variant<std::string, int> newPassword(const std::string& name) {
    const bool terminal = isatty(STDIN_FILENO);
    const auto first = readLine(terminal, "password for " + name + ": ");
    if (!first) return fail(exitstatus::usage, "users: no password on stdin");
    if (std::string why = passwordProblem(*first); !why.empty())
        return fail(exitstatus::usage, "users: " + why);
    if (terminal) {
        const auto again = readLine(true, "the same again: ");
        if (!again || *again != *first)
            return fail(exitstatus::usage, "users: the two passwords differ; nothing changed");
    }
    return *first;
}

} // namespace

int runUsers(const HeadlessOptions& options) {
    const CommandArgs args =
        parseCommandArgs(Words(options.words.begin() + 1, options.words.end()), {}, {"--file"});
    if (!args.error.empty()) return usageError("users", args.error);
    const auto file = args.value("--file");
    if (!file) return usageError("users", "users needs --file FILE, the file [web] users names");
    const auto& w = args.positional;
    if (w.empty()) return usageError("users", "users takes add, remove, passwd or list");
    const std::string& verb = w[0];
    const std::size_t want = verb == "add" ? 3 : verb == "list" ? 1 : 2;
    if (verb != "add" && verb != "remove" && verb != "passwd" && verb != "list")
        return usageError("users", "users takes add, remove, passwd or list, not " + verb);
    if (w.size() != want)
        return usageError("users", verb == "add"    ? "users add takes NAME ROLE"
                                   : verb == "list" ? "users list takes no more words"
                                                    : "users " + verb + " takes NAME");
    WebUsers users;
    // A file not made yet is an empty one to add to; any other trouble stops.
    if (verb != "add" || access(file->c_str(), F_OK) == 0) {
        auto loaded = loadUsers(*file);
        if (auto* why = std::get_if<std::string>(&loaded)) return fail(exitstatus::usage, *why);
        users = std::get<WebUsers>(std::move(loaded));
    }
    if (verb == "list") {
        for (const WebUser& u : users)
            std::printf("%s %s\n", u.name.c_str(), roleName(u.role));
        return exitstatus::ok;
    }
    const std::string& name = w[1];
    if (std::string why = nameProblem(name); !why.empty())
        return fail(exitstatus::usage, "users: " + why);
    auto at =
        std::find_if(users.begin(), users.end(), [&](const WebUser& u) { return u.name == name; });
    if (verb == "add") {
        if (at != users.end())
            return fail(exitstatus::usage,
                        "users: " + name + " is there already (q7 users passwd " + name + ")");
        const auto role = roleNamed(w[2]);
        if (!role) return fail(exitstatus::usage, "users: the role is viewer, operator or admin");
        users.push_back({name, *role, ""});
        at = users.end() - 1;
    } else if (at == users.end()) {
        return fail(exitstatus::usage, "users: no user " + name + " in " + *file);
    }
    if (verb == "remove") {
        users.erase(at);
    } else {
        auto password = newPassword(name);
        if (const int* status = std::get_if<int>(&password)) return *status;
        at->hash = hashPassword(std::get<std::string>(password));
        if (at->hash.empty())
            return fail(exitstatus::usage, "users: the password could not be hashed");
    }
    if (std::string why = saveUsers(*file, users); !why.empty())
        return fail(exitstatus::usage, why);
    std::fprintf(stderr, "q7: users: %s %s\n", name.c_str(),
                 verb == "add"      ? "added"
                 : verb == "remove" ? "removed"
                                    : "has a new password");
    return exitstatus::ok;
}
