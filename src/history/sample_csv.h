#pragma once
// A run's samples as CSV, for a spreadsheet or a chart made by hand: one
// header, then one row per poll (the samples of one time), with each zone's
// PV, SV and output. Times are ISO 8601 in UTC and numbers are written the
// files' way, with a decimal point whatever the desktop's locale, so the
// same run always gives the same bytes.
#include "runs/run_record.h"

#include <string>
#include <vector>

// "2026-12-09T01:31:54.250Z"
std::string isoUtcTime(double unixSeconds);

// zones: how many the run has; a sample of a zone beyond them widens the table.
std::string samplesCsv(std::size_t zones, const std::vector<RunSample>& samples);
