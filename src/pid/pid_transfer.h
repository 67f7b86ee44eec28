#pragma once
// Moving the whole PID block between the record and the controller.

// Reads the block into the record and the PID panel. A reply that is short,
// corrupt or from another slave is asked for once more; if that fails too,
// the record and the panel keep their values and the operator is told.
void ReadPIDParmsFromMeter();

// Writes the record's block register by register; sends nothing when a
// value does not fit its register. Registers the controller
// refused or did not echo are named in one message; three silent requests in
// a row stop the write.
void WritePIDParmsToMeter();
