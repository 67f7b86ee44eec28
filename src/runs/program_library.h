#pragma once
// The program library: a folder of `.q7p` files, `programs/` in the working
// folder unless another is named. Each file is read as a run would read it,
// so a program the library lists as good is one a run takes.
#include "runs/program_file.h"

#include <string>
#include <variant>
#include <vector>

inline constexpr const char* kProgramLibrary = "programs";

struct LibraryEntry {
    std::string file; // its name in the folder
    // The program, or why the file is refused ("line 5: ...").
    std::variant<FiringProgram, std::string> program;
};

// The folder's program files by name. Why the folder cannot be listed, else
// the entries (none for an empty folder).
std::variant<std::vector<LibraryEntry>, std::string> listLibrary(const std::string& folder);

// The program file a name means: the path as given when it exists, else
// the library's NAME or NAME.q7p for a plain name.
std::string programPath(const std::string& name, const std::string& folder);
// The library's file of a plain name, and never one elsewhere: NAME when
// the folder holds it, else NAME.q7p (which may not be there).
std::string libraryProgramPath(const std::string& name, const std::string& folder);

// "Bisque 04, 5 segments, 10:59 from 20 °C": the plan's length from its own
// start, or for a program that starts from PV, from the temperature given.
std::string programSummary(const FiringProgram& program, double pv);
