#pragma once
// The address the web view listens on, as the config gives it:
// "0.0.0.0:8080", "127.0.0.1:8080" or "[::1]:8080". Names are not looked
// up: the page is for the LAN, and a name that resolves differently after
// a restart would move it without anyone noticing.
#include <QHostAddress>

#include <string>
#include <string_view>
#include <variant>

struct ListenAddress {
    QHostAddress host;
    quint16 port = 0;
};

// The address, or why it is not one.
std::variant<ListenAddress, std::string> parseListenAddress(std::string_view text);
