// The config file and the credentials file it names, as they stand on disk.
#include "serve/serve_config.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t kMaxConfig = 64 * 1024;
constexpr off_t kMaxCredentials = 4096;

// The whole of a regular file of at most `limit` bytes; else why not. The
// file is opened before it is looked at, so what is checked is what is read.
bool readRegularFile(const std::string& path, off_t limit, std::string* text, std::string* why,
                     mode_t* mode = nullptr) {
    // O_NONBLOCK: a FIFO must not hold the bridge up before it is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool fine = fstat(fd, &st) == 0;
    if (fine && !S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        fine = false;
    } else if (fine && st.st_size > limit) {
        *why = "larger than " + std::to_string(limit / 1024) + " KiB";
        fine = false;
    }
    text->clear();
    char buf[4096];
    while (fine) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *why = std::strerror(errno);
            fine = false;
        }
        if (n <= 0) break;
        text->append(buf, std::size_t(n));
        if (off_t(text->size()) > limit) {
            *why = "larger than " + std::to_string(limit / 1024) + " KiB";
            fine = false;
        }
    }
    if (mode) *mode = st.st_mode;
    ::close(fd);
    return fine;
}

// "user:password" on the first line of a file only its owner can read.
std::string readCredentials(BrokerConfig& b) {
    const std::string& path = b.credentials;
    std::string text, why;
    mode_t mode = 0;
    if (!readRegularFile(path, kMaxCredentials, &text, &why, &mode))
        return "cannot read the credentials file " + path + ": " + why;
    if ((mode & 0077) != 0)
        return "the credentials file " + path + " may be read by others (chmod 600 " + path + ")";
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        return "the credentials file " + path + " holds no \"user:password\" line";
    b.user = text.substr(0, colon);
    b.password = text.substr(colon + 1);
    return "";
}

} // namespace

std::variant<ServeConfig, std::string> loadServeConfig(const std::string& path) {
    std::string text, why;
    if (!readRegularFile(path, kMaxConfig, &text, &why))
        return "cannot read the config " + path + ": " + why;
    auto parsed = parseServeConfig(text);
    if (auto* e = std::get_if<ConfigError>(&parsed))
        return path + (e->line ? ":" + std::to_string(e->line) : "") + ": " + e->why;
    ServeConfig c = std::move(std::get<ServeConfig>(parsed));
    if (!c.broker.credentials.empty())
        if (const std::string problem = readCredentials(c.broker); !problem.empty())
            return path + ":" + std::to_string(c.broker.credentialsLine) + ": " + problem;
    if (!c.broker.caFile.empty() && ::access(c.broker.caFile.c_str(), R_OK) != 0)
        return path + ":" + std::to_string(c.broker.caFileLine) + ": cannot read the ca_file " +
               c.broker.caFile + ": " + std::strerror(errno);
    return c;
}
