// programs: the firing program library, and a program file checked as a
// run would take it: every field, and with a controller named, every target
// within its Lo and Hi limits.
#include "base/atomic_file.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "runs/controller_zone.h"
#include "runs/plan.h"
#include "runs/program_import.h"
#include "runs/program_library.h"
#include "runs/program_limits.h"
#include "runs/write_estimate.h"
#include "serial/com_map.h"

#include <cstdio>
#include <filesystem>

namespace {

// A controller is asked only when the command line names one: a file
// checked at a desk needs no line.
bool controllerNamed(const HeadlessOptions& options) {
    if (options.port || !options.ids.empty() || options.simulate) return true;
    for (const ComEntry& e : mappedComEntries())
        if (e.source == ComSource::commandLine) return true;
    return false;
}

int listPrograms(const std::string& folder) {
    auto listed = listLibrary(folder);
    if (auto* why = std::get_if<std::string>(&listed))
        return fail(exitstatus::usage,
                    *why +
                        (folder == kProgramLibrary
                             ? "; make the folder programs/ here, or name one with --programs DIR"
                             : ""));
    const auto& entries = std::get<std::vector<LibraryEntry>>(listed);
    if (entries.empty()) std::fprintf(stderr, "q7: %s holds no .q7p files\n", folder.c_str());
    for (const LibraryEntry& e : entries) {
        if (const auto* p = std::get_if<FiringProgram>(&e.program))
            std::printf("%s: %s\n", e.file.c_str(),
                        programSummary(*p, roomTemperature(p->unit)).c_str());
        else
            std::printf("%s: refused: %s\n", e.file.c_str(),
                        std::get<std::string>(e.program).c_str());
    }
    return exitstatus::ok;
}

// The program against the controller: its limits, its PV for where a run
// of it would start, and how it steps its set value.
int checkOnController(const HeadlessOptions& options, const std::string& path,
                      const FiringProgram& program, double* pv, ZoneFacts* facts_) {
    ControllerLine line(options);
    if (const int s = line.connect()) return s;
    ControllerZone zone(line.controller());
    const auto facts = zone.facts();
    if (const auto* why = std::get_if<std::string>(&facts))
        return fail(exitstatus::noController, "the controller on " + line.where() + ": " + *why);
    const ZoneFacts& f = std::get<ZoneFacts>(facts);
    if (const std::string why = limitsProblem(program, 0, f, line.where()); !why.empty())
        return fail(exitstatus::usage, path + ": " + why);
    if (const auto read = zone.read().pv) *pv = convertTemperature(*read, f.unit, program.unit);
    *facts_ = f;
    return exitstatus::ok;
}

int checkProgram(const HeadlessOptions& options, const std::string& path) {
    auto loaded = loadFiringProgram(path);
    if (const auto* why = std::get_if<std::string>(&loaded)) return fail(exitstatus::usage, *why);
    const FiringProgram& program = std::get<FiringProgram>(loaded);
    double pv = roomTemperature(program.unit);
    // At a desk: a controller that shows tenths, which takes the most steps.
    ZoneFacts f;
    f.unit = program.unit;
    f.digits = 1;
    if (controllerNamed(options))
        if (const int s = checkOnController(options, path, program, &pv, &f)) return s;
    std::printf("%s: %s\n", path.c_str(), programSummary(program, pv).c_str());
    const FiringWrites w = firingWrites(program, pv, digitIn(f, program.unit), f.hasRamp);
    std::printf("  %s\n", writesText(w).c_str());
    return exitstatus::ok;
}

std::optional<TemperatureUnit> unitArg(const CommandArgs& args, std::string* why) {
    const auto given = args.value("--unit");
    if (!given) return std::nullopt;
    if (*given == "C" || *given == "c") return TemperatureUnit::celsius;
    if (*given == "F" || *given == "f") return TemperatureUnit::fahrenheit;
    *why = "--unit takes C or F, not '" + *given + "'";
    return std::nullopt;
}

// The file's name without its folder and extension: the program's name
// and its file's in the library.
std::string stem(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (const auto dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

int importProgram(const CommandArgs& args, const std::string& folder) {
    if (args.positional.size() != 2)
        return usageError("programs", "programs import takes one FILE");
    const std::string path = args.positional[1];
    std::string why;
    const std::optional<TemperatureUnit> unit = unitArg(args, &why);
    if (!why.empty()) return usageError("programs", why);
    std::string content;
    if (!readSmallFile(path, &content, 1 << 20, &why))
        return fail(exitstatus::usage, path + ": cannot be read: " + why);
    const bool profile =
        path.ends_with(".json") || content.find_first_not_of(" \t\r\n") == content.find('{');
    const std::string name = args.value("--name").value_or(profile ? "" : stem(path));
    if (profile && !unit)
        return usageError("programs", "a profile does not say its unit: give --unit C or --unit F");
    auto imported =
        profile ? importProfile(content, *unit, name) : importSegmentsCsv(content, unit, name);
    if (const auto* e = std::get_if<std::string>(&imported))
        return fail(exitstatus::usage, path + ": " + *e);
    const FiringProgram& program = std::get<FiringProgram>(imported);
    const std::string target = args.value("--to").value_or(libraryProgramPath(stem(path), folder));
    std::error_code ec;
    if (std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found)
        return fail(exitstatus::usage, target + " is there already: name another with --to FILE");
    if (!saveFiringProgram(target, program, &why)) return fail(exitstatus::usage, why);
    std::printf(
        "%s: %s\n", target.c_str(),
        programSummary(program, program.start.value_or(roomTemperature(program.unit))).c_str());
    return exitstatus::ok;
}

int exportProgram(const CommandArgs& args, const std::string& folder) {
    const auto to = args.value("--to");
    if (args.positional.size() != 2 || !to || (*to != "json" && *to != "csv"))
        return usageError("programs", "programs export takes one program and --to json or csv");
    auto loaded = loadFiringProgram(programPath(args.positional[1], folder));
    if (const auto* why = std::get_if<std::string>(&loaded)) return fail(exitstatus::usage, *why);
    const FiringProgram& p = std::get<FiringProgram>(loaded);
    const std::string out =
        *to == "csv" ? exportSegmentsCsv(p) : exportProfile(p, roomTemperature(p.unit));
    std::fwrite(out.data(), 1, out.size(), stdout);
    return exitstatus::ok;
}

} // namespace

int programsCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args =
        parseCommandArgs(words, {}, {"--programs", "--unit", "--name", "--to"});
    if (!args.error.empty()) return usageError("programs", args.error);
    const std::string folder = args.value("--programs").value_or(kProgramLibrary);
    if (args.positional.empty()) return listPrograms(folder);
    if (args.positional[0] == "import") return importProgram(args, folder);
    if (args.positional[0] == "export") return exportProgram(args, folder);
    if (args.positional[0] != "check")
        return usageError("programs", "programs takes check FILE, import FILE, export NAME, or "
                                      "nothing to list the library, not '" +
                                          args.positional[0] + "'");
    if (args.positional.size() != 2) return usageError("programs", "programs check takes one FILE");
    return checkProgram(options, programPath(args.positional[1], folder));
}
