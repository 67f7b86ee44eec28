#include "lines/line_list_file.h"

#include "base/atomic_file.h"
#include "base/id_list.h"
#include "base/line_reader.h"
#include "base/number_text.h"
#include "serial/com_map.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <set>
#include <sys/stat.h>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

void skipBlanks(std::string_view& text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
}

// One line "COMn: id, id, ..." into lists; why it is not, else empty.
std::string parseLine(std::string_view line, LineLists& lists) {
    skipBlanks(line);
    if (line.substr(0, 3) != "COM") return "does not start with COM";
    line.remove_prefix(3);
    const auto port = takeWhole(line);
    if (!port || *port < 1 || *port > kMaxComNumber) return "names no COM number";
    if (lists.count(int(*port))) return "names COM" + formatWhole(*port) + " a second time";
    skipBlanks(line);
    if (line.empty() || line.front() != ':') return "has no ':' after the COM number";
    line.remove_prefix(1);
    std::vector<uint16_t>& ids = lists[int(*port)];
    std::set<uint16_t> seen;
    for (bool first = true;; first = false) {
        skipBlanks(line);
        if (line.empty()) break;
        if (!first) {
            if (line.front() != ',') return "has no comma between two ids";
            line.remove_prefix(1);
            skipBlanks(line);
        }
        const auto id = takeWhole(line);
        if (!id || !controllerIdInRange(*id)) return "has an id that is not 1 to 247";
        if (!seen.insert(uint16_t(*id)).second) return "names id " + formatWhole(*id) + " twice";
        ids.push_back(uint16_t(*id));
    }
    return {};
}

bool exists(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0 || errno != ENOENT;
}

} // namespace

LineListsRead parseLineLists(const std::string& text) {
    LineListsRead out;
    // A line of every id on one port is some 1,200 characters.
    LineReader lines(text, 4096);
    const auto refuse = [&](int number, const std::string& why) {
        out.lists.clear();
        out.problem = std::string(kLineListFile) + " line " + formatWhole(number) + " " + why;
        return out;
    };
    while (const auto line = lines.next())
        if (std::string why = parseLine(line->text, out.lists); !why.empty())
            return refuse(line->number, why);
    if (!lines.problem().empty()) return refuse(lines.problemLine(), "is refused: " + lines.problem());
    return out;
}

std::string formatLineLists(const LineLists& lists) {
    std::string text;
    for (const auto& [port, ids] : lists) {
        text += "COM" + formatWhole(port) + ":";
        for (std::size_t i = 0; i < ids.size(); ++i)
            text += (i ? ", " : " ") + formatWhole(ids[i]);
        text += '\n';
    }
    return text;
}

LineListsRead loadLineLists() {
    std::string text;
    if (readSmallFile(kLineListFile, &text)) return parseLineLists(text);
    LineListsRead out;
    if (!exists(kLineListFile)) return out;
    const std::string why = notARegularFile(kLineListFile);
    out.problem = std::string(kLineListFile) + " cannot be read: " +
                  (why.empty() ? std::string("it cannot be opened, or it is too large") : why);
    return out;
}

bool saveLineList(int port, const std::vector<uint16_t>& ids, std::string* why) {
    LineListsRead kept = loadLineLists();
    // A file that could not be taken is left for the operator to put right:
    // rewriting it from what was understood would lose the rest.
    if (!kept.problem.empty()) {
        *why = kept.problem + "; it is left as it is";
        return false;
    }
    if (ids.empty())
        kept.lists.erase(port);
    else
        kept.lists[port] = ids;
    return writeFileAtomically(kLineListFile, formatLineLists(kept.lists), why);
}
