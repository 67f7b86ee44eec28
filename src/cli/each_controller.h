#pragma once
// A command run on every controller --id names, one after the other on the
// one line: each through the same transfer as a single controller's run.
#include "cli/controller_line.h"

#include <functional>
#include <string>

// Makes each id current in turn and runs `run` for it. With one id that is
// all. With several, each failure is named with its id on stderr, one that
// fails does not stop the others (a signal does), and the status is the
// worst of them (a signal's above a controller's that does not answer,
// above a usage error, above a refusal).
int forEachController(ControllerLine& line, const std::function<int(int id)>& run);

// Whether the command runs on more than one controller, so its output names each.
inline bool severalControllers(const ControllerLine& line) {
    return line.ids().size() > 1;
}

// "7 " in front of a controller's output when there are several; nothing with one.
inline std::string idPrefix(const ControllerLine& line, int id) {
    return severalControllers(line) ? std::to_string(id) + " " : "";
}
