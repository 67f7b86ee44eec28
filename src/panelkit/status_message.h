#pragma once
// A brief word, on the main panel's status row beside the line's state, that
// an action has ended: "26 parameters read", "step program written". Any thread.
#include <string>

void showStatus(const std::string& text);
// The last word shown since the run (or the test) began; empty if none.
std::string lastStatus();
void forgetStatus();
