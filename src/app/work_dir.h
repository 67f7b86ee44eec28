#pragma once
// The folder the program keeps its files in. Started from a terminal it is
// the working directory, as the files' users expect; started from the
// desktop menu it is a folder of the user's own (--workdir), so DftCom.prm
// and the rest do not land in the home folder.
#include <string>

// "~" or "~/x" is taken from the home folder ($HOME, else the password entry);
// empty when there is none.
std::string expandHome(const std::string& path);
// Makes the folder (and its parents) when missing and changes into it.
// False, with *why set, when that fails.
bool enterWorkDir(const std::string& path, std::string* why);
