#pragma once
// The backup: every value a parameter file holds, as the controller gave it
// in this connection. The panel's save and the shell's backup both take it
// from here; each shows the outcome its own way and writes the file itself.
#include "link/results.h"
#include "params/bulk_read.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class Controller;

struct BackupRead {
    // The parameter read, run when this connection had not read them all;
    // asked stays 0 when it was not needed.
    BulkReadResult parameters;
    // The PID block read, run when this connection had not read it and the
    // parameters came in full.
    std::optional<Outcome> pidBlock;
    // Every value the file holds is now the controller's.
    bool complete = false;
};

// Reads what the file holds that this connection has not read yet, with the
// panels' own reads: the parameters (decimal point first, progress called
// for each), then the PID block. Stops at the first that fails.
BackupRead readBackup(Controller& c, const ParameterProgress& progress = {});

// The registers of the file whose record value the controller has not given
// in this connection, in register order. Register 0x25 is not among them:
// no read carries it, only a file fills it.
std::vector<uint16_t> unreadFileRegisters(const Controller& c);

// The parameter file of the record, or the registers it would hold without
// the controller having given them: such a file is never written.
std::variant<std::string, std::vector<uint16_t>> backupFileText(const Controller& c);
