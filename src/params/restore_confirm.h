#pragma once
// Asks the operator before a parameter file overwrites the controller's configuration.
#include "params/parm_record.h"

#include <string>

// Shows what the file at path would change against what the panel last read
// and asks whether to send it. True: send.
bool restoreConfirmed(const std::string& path, const ParmRecord& file);
