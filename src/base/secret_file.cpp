#include "base/secret_file.h"

#include "base/atomic_file.h"

std::string readOwnerOnlyFile(const std::string& path, const std::string& what, std::string* text,
                              std::size_t maxBytes) {
    std::string why;
    mode_t mode = 0;
    if (!readSmallFile(path, text, maxBytes, &why, &mode))
        return "cannot read the " + what + " " + path + ": " + why;
    if ((mode & 0077) != 0) {
        text->clear();
        return "the " + what + " " + path + " may be read by others (chmod 600 " + path + ")";
    }
    return "";
}
