#pragma once
// records.conf beside the run store: which fields of a firing a site uses
// and which it will not start a run without.
//
//     fields = load, job, customer, operator
//     required = job, operator
//
// No file: every field may be given, none is required. A required field is
// one the site uses.
#include "runs/run_record.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

inline constexpr const char* kRecordsConfFile = "records.conf";

// records.conf in the folder of the run store (runStorePath()).
std::string recordsConfPath();

struct RecordsConf {
    std::vector<std::string> fields; // empty: all of kFieldKeys
    std::vector<std::string> required;

    // Why the fields given cannot start a run (a field the site does not
    // use, or those required and not given, named); empty when they can.
    std::string startProblem(const std::vector<RunField>& given) const;
    // Why a field cannot be added to a run; empty when it can.
    std::string fieldProblem(const RunField& field) const;
};

// The settings the text holds, or "records.conf line 2: ..." naming the line.
std::variant<RecordsConf, std::string> parseRecordsConf(std::string_view text,
                                                        const std::string& name);
// The file at path read so; the defaults when there is none.
std::variant<RecordsConf, std::string> loadRecordsConf(const std::string& path);
