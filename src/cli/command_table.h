#pragma once
// Every headless command with its usage, for running it and for `q7 help`.
#include "cli/commands.h"

#include <span>
#include <string_view>

struct Command {
    std::string_view name;
    int (*run)(const HeadlessOptions& options, const Words& words);
    std::string_view synopsis; // "backup FILE"
    std::string_view summary;  // one line in the list of commands
    std::string_view details;  // the rest of `q7 help COMMAND`, examples included
};

std::span<const Command> commandTable();
const Command* findCommand(std::string_view name);
