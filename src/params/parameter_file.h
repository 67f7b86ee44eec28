#pragma once
// The parameter file: one line of 18 reals ("%7.2f") and 20 integers ("%i"),
// separated by single spaces, no line end.
#include "link/parm_record.h"

#include <string>
#include <variant>
#include <vector>

std::string formatParameterFile(const ParmRecord& record);

// The 38 file fields of text, taken into a copy of base (the fields the file
// does not hold keep base's values). A string says what is wrong with the
// text: a field that is no number, or a value its register's field cannot
// take, named by its line and field. What fits but is in doubt (a code no
// table knows, a Lo limit not below the Hi limit) goes to *doubts, one
// line each, for the operator to decide on.
std::variant<ParmRecord, std::string>
parseParameterFile(const std::string& text, const ParmRecord& base,
                   std::vector<std::string>* doubts = nullptr);

// The file at path, read and parsed as above: every load of a parameter file
// takes it or refuses it the same way. A string says why it is refused.
std::variant<ParmRecord, std::string> readParameterFile(const std::string& path,
                                                        const ParmRecord& base,
                                                        std::vector<std::string>* doubts = nullptr);
