#pragma once
// A command's own words: its options (--json, --interval S) and the rest.
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct CommandArgs {
    std::vector<std::string> positional;
    std::set<std::string> flags;
    std::map<std::string, std::string> values; // "--interval S" or "--interval=S"
    // Every value of an option given more than once (`values` keeps the last).
    std::map<std::string, std::vector<std::string>> repeated;
    std::string error; // what is wrong with the words

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> all(const std::string& name) const;
};

// flags take no value, valued options take one; any other word starting with
// "--" is an error.
CommandArgs parseCommandArgs(const std::vector<std::string>& words,
                             std::initializer_list<const char*> flags,
                             std::initializer_list<const char*> valued);

// A usage error of the command: the reason, and where its usage is told.
int usageError(const std::string& command, const std::string& why);
// Exactly `count` positional words, or the usage error to end with (else 0).
int expectWords(const std::string& command, const CommandArgs& args, std::size_t count,
                const char* what);
