#pragma once
// The files a headless command writes: checked before the controller is asked
// anything, so a mistyped path costs no transfer, and written whole or not
// at all.
#include <string>

// Why path cannot be written (a folder, or its folder missing or closed to
// us); empty when it can.
std::string cannotWrite(const std::string& path);

// Writes content in place of path at once. exitstatus::ok, or the status to
// end with once the reason is told.
int saveFile(const std::string& path, const std::string& content);
