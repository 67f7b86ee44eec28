#pragma once
// A change asked from the page (POST /api/control), as the bridge takes
// it: the same command topic and payload a broker's client would publish,
// handed to the line that topic names, so the line's writes gate, its run
// host and the checked writes judge it as they judge the broker's. The
// answer is the command's result JSON, as published on PREFIX/LINE/ID/result.
#include <functional>
#include <string>
#include <string_view>
#include <variant>

struct WebCommand {
    std::string line;
    int id = 0;
    std::string verb, name; // "run" "start", "set" "sv": PREFIX/LINE/ID/VERB/NAME
    std::string payload;
    std::string user; // who asked, for the run's record and the log
};

// Called on the line's thread, once, with the result JSON.
using WebReply = std::function<void(const std::string& resultJson)>;
// Hands the command to its line; the bridge gives it (any thread).
using WebCommandSink = std::function<void(WebCommand, WebReply)>;

// The body of POST /api/control: {"line":"furnace","id":1,"action":"start",
// "program":"bisque"}; actions start, pause, continue, stop and skip (a
// run), extend ("value": "0:30", "-0:10") and mark ("value": its text), sv
// and mode (with "value"). The command, or why not.
std::variant<WebCommand, std::string> parseControl(std::string_view body);
