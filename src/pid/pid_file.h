#pragma once
// PID files: one line, the eleven values of the block in register order,
// reals "%7.2f" and integers "%i", separated by single spaces, no line end.
#include "link/parm_record.h"

#include <string>
#include <string_view>

std::string formatPidFile(const ParmRecord& record);

// Takes exactly eleven whitespace-separated numbers, integers where the
// block holds integers that fit 16 bits, each within what its register's
// field takes, into the record's PID fields. Anything else leaves the
// record untouched and returns false; *why, when given, names a value
// outside its field by line and field.
bool parsePidFile(std::string_view text, ParmRecord* record, std::string* why = nullptr);

// The file at path, read and parsed as above into the record: every load of
// a PID file takes it or refuses it the same way. False, with why it was
// refused in *why and the record untouched, for anything else.
bool readPidFile(const std::string& path, ParmRecord* record, std::string* why);
