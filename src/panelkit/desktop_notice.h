#pragma once
// A notification through the desktop's notification service: the system
// tray's message where there is a tray, else the freedesktop notification
// service on the session bus. Where neither is, the words go to the main
// panel's status line. Any thread; it never waits for the operator.
#include <string>

void desktopNotice(const std::string& title, const std::string& text);
