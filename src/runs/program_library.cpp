#include "runs/program_library.h"

#include "base/number_text.h"
#include "base/typed_number.h"
#include "runs/plan.h"
#include "runs/run_order.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

std::variant<std::vector<LibraryEntry>, std::string> listLibrary(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return folder + " cannot be listed: " + std::strerror(errno);
    std::vector<std::string> names;
    const std::string ext = kProgramExtension;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() <= ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext))
            continue;
        // A link is followed; a folder, a FIFO or a device holds no program.
        struct stat st {};
        if (stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    std::vector<LibraryEntry> entries;
    for (const std::string& name : names) {
        auto loaded = loadFiringProgram(folder + "/" + name);
        if (auto* why = std::get_if<std::string>(&loaded)) {
            // The listing names the file already.
            entries.push_back({name, why->substr(folder.size() + name.size() + 3)});
        } else {
            entries.push_back({name, std::get<FiringProgram>(std::move(loaded))});
        }
    }
    return entries;
}

std::string libraryProgramPath(const std::string& name, const std::string& folder) {
    struct stat st {};
    const std::string inLibrary = folder + "/" + name;
    if (stat(inLibrary.c_str(), &st) == 0) return inLibrary;
    return inLibrary + kProgramExtension;
}

std::string programPath(const std::string& name, const std::string& folder) {
    struct stat st {};
    if (name.find('/') != std::string::npos || stat(name.c_str(), &st) == 0) return name;
    const std::string inLibrary = libraryProgramPath(name, folder);
    return stat(inLibrary.c_str(), &st) == 0 ? inLibrary : name;
}

std::string programSummary(const FiringProgram& program, double pv) {
    const Plan plan(program, programStart(program, pv));
    std::string text =
        program.name + ", " + segmentsRunText(program) + ", " + hoursMinutes(plan.totalSeconds());
    if (!program.start) text += " from " + numberText(roundedTo(pv, 1)) + unitSign(program.unit);
    return text;
}
