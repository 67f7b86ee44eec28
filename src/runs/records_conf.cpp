#include "runs/records_conf.h"

#include "base/atomic_file.h"
#include "base/line_reader.h"
#include "runs/run_store.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

bool among(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// "a, b, c" as the names it lists, each a field of kFieldKeys; or why not.
std::string readFieldNames(std::string_view list, std::vector<std::string>* names) {
    while (!list.empty()) {
        const auto comma = list.find(',');
        std::string_view word = list.substr(0, comma);
        while (!word.empty() && (word.front() == ' ' || word.front() == '\t'))
            word.remove_prefix(1);
        while (!word.empty() && (word.back() == ' ' || word.back() == '\t'))
            word.remove_suffix(1);
        const std::string name(word);
        if (std::find(kFieldKeys.begin(), kFieldKeys.end(), name) == kFieldKeys.end())
            return "'" + name +
                   "' is not a field (load, job, customer, part, quantity, "
                   "material, order, lot, operator, notes)";
        if (among(*names, name)) return name + " is named twice";
        names->push_back(name);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return names->empty() ? "names no field" : "";
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

} // namespace

std::string recordsConfPath() {
    const std::string& store = runStorePath();
    const auto slash = store.rfind('/');
    if (slash == std::string::npos) return kRecordsConfFile;
    return store.substr(0, slash + 1) + kRecordsConfFile;
}

std::string RecordsConf::fieldProblem(const RunField& field) const {
    if (fields.empty() || among(fields, field.key)) return "";
    return std::string(kRecordsConfFile) + " does not use the field " + field.key + " (it uses " +
           joined(fields) + ")";
}

std::string RecordsConf::startProblem(const std::vector<RunField>& given) const {
    for (const RunField& f : given)
        if (std::string why = fieldProblem(f); !why.empty()) return why;
    std::vector<std::string> missing;
    for (const std::string& key : required)
        if (std::none_of(given.begin(), given.end(),
                         [&](const RunField& f) { return f.key == key; }))
            missing.push_back(key);
    if (missing.empty()) return "";
    return "no run starts without " + joined(missing) + " (" + kRecordsConfFile + " requires them)";
}

std::variant<RecordsConf, std::string> parseRecordsConf(std::string_view text,
                                                        const std::string& name) {
    RecordsConf conf;
    bool fieldsGiven = false, requiredGiven = false;
    int requiredLine = 0;
    LineReader reader(text);
    const auto at = [&](int line, const std::string& why) {
        return name + " line " + std::to_string(line) + ": " + why;
    };
    while (const auto line = reader.next()) {
        if (line->kind != TextLine::Kind::entry)
            return at(line->number, "takes only fields = ... and required = ...");
        bool* given = line->key == "fields"     ? &fieldsGiven
                      : line->key == "required" ? &requiredGiven
                                                : nullptr;
        if (!given) return at(line->number, "unknown key '" + std::string(line->key) + "'");
        if (*given) return at(line->number, std::string(line->key) + " is given twice");
        *given = true;
        std::vector<std::string>& names = line->key == "fields" ? conf.fields : conf.required;
        if (std::string why = readFieldNames(line->value, &names); !why.empty())
            return at(line->number, std::string(line->key) + ": " + why);
        if (line->key == "required") requiredLine = line->number;
    }
    if (!reader.problem().empty()) return at(reader.problemLine(), reader.problem());
    if (!conf.fields.empty())
        for (const std::string& key : conf.required)
            if (!among(conf.fields, key))
                return at(requiredLine, "required: " + key + " is not among the fields");
    return conf;
}

std::variant<RecordsConf, std::string> loadRecordsConf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return RecordsConf{};
    std::string text, why;
    if (!readSmallFile(path, &text, 1 << 16, &why)) return path + ": " + why;
    return parseRecordsConf(text, path);
}
