#pragma once
// PID files as the PID panel's Load... and Save... buttons move them.

class Controller;

// Asks for a file and loads it into the record. False (record unchanged,
// reason shown) when cancelled, unreadable, malformed or out of range.
bool ReadPIDParmsFromPC(Controller& c);

// Asks for a path and saves the record's PID fields there atomically.
void WritePIDParmsToFile(Controller& c);
