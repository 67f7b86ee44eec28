#pragma once
// A brief word, on the main panel's status row beside the line's state, that
// an action has ended: "26 parameters read", "step program written". Any thread.
#include <string>

void showStatus(const std::string& text);
// The last word shown on the main panel; empty if none. The word leaves the
// row after a while; its tool tip keeps it.
std::string lastStatus();
