#pragma once
// Asks the desktop to show a folder in its file manager. Any thread.
#include <string>

// False when nothing could show it: no desktop session, no file manager, or
// no such folder. Nothing else happens then.
bool OpenFolderOnDesktop(const std::string& folder);
