#pragma once
// Moving the step program between a snapshot and the controller's registers
// (the band, then five per step), apart from any panel.
#include "link/write_ledger.h"
#include "program/step_program.h"
#include "program/step_register_name.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Controller;

struct StepProgramRead {
    // A step or the band that could not be read is absent: its entries keep
    // what they showed rather than turn into zeros the operator might save back.
    std::array<std::optional<ScriptStep>, 8> steps;
    std::optional<double> band;
    bool silent = false;    // stopped: the controller does not answer
    bool cancelled = false; // stopped between two requests, as asked
};

struct StepProgramWrite {
    std::vector<uint16_t> refused;     // exception replies
    std::vector<uint16_t> unconfirmed; // no reply, or not the echo
    bool silent = false;               // stopped: what is left was not sent
    bool cancelled = false;            // stopped between two registers, as asked
    int sent = 0;                      // registers sent, in order
    int total = 0;                     // registers of the whole program, band included
    WriteLedger ledger;                // every register's fate, in sending order
};

// Prepares (0.02 s), then reads each step in one request and the band.
StepProgramRead readStepProgram(Controller& c);
// The program read, when every step and the band came; else nothing, with
// the names of what did not ("step 3", "the tolerance band").
std::optional<StepProgram> wholeProgram(const StepProgramRead& read,
                                        std::vector<std::string>* missing);
// Prepares (0.01 s), then writes the 40 step registers in order and the band last.
StepProgramWrite writeStepProgram(Controller& c, const StepProgram& program);
// The band alone, with no preparation; whether the controller confirmed it.
bool writeBand(Controller& c, double band);
