#include "cli/command_args.h"

#include "cli/exit_status.h"
#include "cli/report.h"

namespace {

bool among(const std::string& word, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (word == n) return true;
    return false;
}

} // namespace

std::optional<std::string> CommandArgs::value(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> CommandArgs::all(const std::string& name) const {
    const auto it = repeated.find(name);
    return it == repeated.end() ? std::vector<std::string>{} : it->second;
}

CommandArgs parseCommandArgs(const std::vector<std::string>& words,
                             std::initializer_list<const char*> flags,
                             std::initializer_list<const char*> valued) {
    CommandArgs args;
    for (std::size_t i = 0; i < words.size() && args.error.empty(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 || word == "--") {
            args.positional.push_back(word);
            continue;
        }
        const auto eq = word.find('=');
        const std::string name = word.substr(0, eq);
        if (among(name, flags) && eq == std::string::npos) {
            args.flags.insert(name);
        } else if (among(name, valued)) {
            if (eq != std::string::npos)
                args.values[name] = word.substr(eq + 1);
            else if (i + 1 < words.size())
                args.values[name] = words[++i];
            else
                args.error = name + " needs a value";
            if (args.error.empty()) args.repeated[name].push_back(args.values[name]);
        } else {
            args.error = "unknown option " + word;
        }
    }
    return args;
}

int usageError(const std::string& command, const std::string& why) {
    return fail(exitstatus::usage, why + " ('q7 help " + command + "' shows how)");
}

int expectWords(const std::string& command, const CommandArgs& args, std::size_t count,
                const char* what) {
    if (!args.error.empty()) return usageError(command, args.error);
    if (args.positional.size() == count) return exitstatus::ok;
    return usageError(command, command + " takes " + what);
}
