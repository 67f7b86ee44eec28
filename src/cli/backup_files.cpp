#include "cli/backup_files.h"

#include <sys/stat.h>

namespace {

constexpr std::string_view kIdMark = "{id}";

// With one controller a folder named without its '/' is refused as a file
// name, as it always was: a slip of the keyboard is not taken for a wish.
bool isFolder(const std::string& path, std::size_t controllers) {
    struct stat st {};
    return (!path.empty() && path.back() == '/') ||
           (controllers > 1 && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

std::string withId(std::string name, int id) {
    for (auto at = name.find(kIdMark); at != std::string::npos; at = name.find(kIdMark, at))
        name.replace(at, kIdMark.size(), std::to_string(id));
    return name;
}

} // namespace

std::variant<std::string, std::map<int, std::string>> backupFiles(const std::string& target,
                                                                  const std::vector<int>& ids) {
    std::map<int, std::string> files;
    const bool folder = isFolder(target, ids.size());
    const bool marked = target.find(kIdMark) != std::string::npos;
    if (!folder && !marked && ids.size() > 1)
        return "with several ids backup takes a FOLDER, or a file name holding {id} as in "
               "oven{id}.prm, so that no file is written over another";
    for (const int id : ids) {
        if (folder)
            files[id] =
                target + (target.back() == '/' ? "" : "/") + "id" + std::to_string(id) + ".prm";
        else
            files[id] = withId(target, id);
    }
    return files;
}
