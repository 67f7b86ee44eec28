#pragma once
// The one message about a lost line. Work the loss cut short (a parameter
// read, a file or program being sent) adds what became of it to that same
// notice, rather than a message of its own whose advice (check the cable,
// press Read) would contradict the notice's (plug it in again, reconnect).
#include <string>

class Controller;

// The port's device went away: the notice, fresh.
void showLineLost(int port);
// When the line is lost, adds what became of the interrupted work to the
// notice and returns true; otherwise returns false and shows nothing.
bool reportIfLineLost(Controller& c, const std::string& whatBecameOfIt);
// The line is back: the notice has nothing more to say.
void withdrawLineLost();
