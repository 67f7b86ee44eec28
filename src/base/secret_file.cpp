#include "base/secret_file.h"

#include "base/atomic_file.h"

#include <sys/stat.h>

namespace {

constexpr std::size_t kMaxCredentials = 4096;

} // namespace

std::string readSecretFile(const std::string& path, std::string* text) {
    std::string why;
    mode_t mode = 0;
    if (!readSmallFile(path, text, kMaxCredentials, &why, &mode))
        return "cannot read the credentials file " + path + ": " + why;
    if ((mode & 0077) != 0) {
        text->clear();
        return "the credentials file " + path + " may be read by others (chmod 600 " + path + ")";
    }
    return "";
}
