#pragma once
// Asks the operator before a parameter file overwrites the controller's configuration.
#include "link/parm_record.h"

#include <string>
#include <vector>

class Controller;

// Shows what the file at path would change against what the panel last read,
// and what in it is in doubt (codes no table knows, limits that take no set
// value), and asks whether to send it. True: send.
bool restoreConfirmed(Controller& c, const std::string& path, const ParmRecord& file,
                      const std::vector<std::string>& doubts = {});
