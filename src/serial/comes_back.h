#pragma once
// Whether a device that went away can come back as the same line under its
// name. An adapter's node, and even more its by-id link, names that adapter;
// a pseudo-terminal's number goes to whichever terminal opens next, so one
// coming back under the same name says nothing about being the same line.
#include <string>

#include <sys/types.h>

bool comesBackUnderItsName(const std::string& device);

// Where a line's name led when it was opened: the node, and the link itself
// when the name is one.
struct DeviceName {
    std::string node; // empty when the name led nowhere
    bool link = false;
    ino_t linkInode = 0;
    long long linkChanged = 0; // nanoseconds
};

DeviceName deviceNameNow(const std::string& device);

// Whether what the name `now` leads to may be the line that was opened as
// `was`, and so be opened again when the line was lost. An adapter's node
// may. A pseudo-terminal never comes back: its number, and a link still
// pointing at it, may lead to another program's terminal. Only a link made
// anew (as udev makes its links, and whoever started the terminal may) leads
// to a line of its own again.
bool mayBeTheSameLine(const DeviceName& was, const DeviceName& now);

// Whether a device opened as `was` is still what the name now leads to, as
// `now`: the same node, and through the very name it was opened by, a link
// not made anew. A port shares an open device only then: a link pointed
// elsewhere leads to another device, even while the old one has not yet
// noticed that it went away.
bool stillLeadsTo(const DeviceName& was, const DeviceName& now, bool sameName);

// Why the line opened as `was` under the name `device` is not opened again.
std::string notOpenedAgainText(const std::string& device, const DeviceName& was);
