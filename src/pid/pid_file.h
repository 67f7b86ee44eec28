#pragma once
// PID files: one line, the eleven values of the block in register order,
// reals "%7.2f" and integers "%i", separated by single spaces, no line end.
#include "params/parm_record.h"

#include <string>
#include <string_view>

std::string formatPidFile(const ParmRecord& record);

// Takes exactly eleven whitespace-separated numbers, integers where the
// block holds integers that fit 16 bits, into the record's PID fields.
// Anything else leaves the record untouched and returns false.
bool parsePidFile(std::string_view text, ParmRecord* record);

// Asks for a file and loads it into the record. False (record unchanged,
// reason shown) when cancelled, unreadable, malformed or out of range.
bool ReadPIDParmsFromPC();

// Asks for a path and saves the record's PID fields there atomically.
void WritePIDParmsToFile();
