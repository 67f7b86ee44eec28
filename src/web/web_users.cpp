#include "web/web_users.h"

#include "base/atomic_file.h"
#include "base/line_reader.h"
#include "base/secret_file.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 16 MiB and some 50 ms a try on a small PC: slow for a guesser with a
// copy of the file, quick enough for a person logging in.
constexpr std::uint64_t kCostN = 16384;
constexpr std::uint64_t kBlockR = 8, kParallelP = 1;
constexpr std::size_t kSaltBytes = 16, kKeyBytes = 32;
// Hashes of other costs are taken, up to a bound no file should make us spend.
constexpr std::uint64_t kMaxCostN = 1 << 20;
constexpr std::uint64_t kMaxMemory = 1ull << 30;

std::string hex(const unsigned char* bytes, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::optional<std::string> unhex(std::string_view text) {
    if (text.empty() || text.size() % 2 || text.size() > 256) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        const auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, v, 16);
        if (ec != std::errc{} || end != text.data() + i + 2) return std::nullopt;
        out += char(v);
    }
    return out;
}

bool scrypt(std::string_view password, std::string_view salt, std::uint64_t n, std::uint64_t r,
            std::uint64_t p, unsigned char* key, std::size_t keyBytes) {
    return EVP_PBE_scrypt(password.data(), password.size(),
                          reinterpret_cast<const unsigned char*>(salt.data()), salt.size(), n, r, p,
                          kMaxMemory, key, keyBytes) == 1;
}

std::optional<std::uint64_t> whole(std::string_view text) {
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

struct Parsed {
    std::uint64_t n = 0, r = 0, p = 0;
    std::string salt, key;
};

std::optional<Parsed> parseHash(std::string_view hash) {
    std::vector<std::string_view> parts;
    while (parts.size() < 7) {
        const auto dollar = hash.find('$');
        parts.push_back(hash.substr(0, dollar));
        if (dollar == std::string_view::npos) break;
        hash.remove_prefix(dollar + 1);
    }
    if (parts.size() != 6 || parts[0] != "scrypt") return std::nullopt;
    Parsed out;
    const auto n = whole(parts[1]), r = whole(parts[2]), p = whole(parts[3]);
    const auto salt = unhex(parts[4]), key = unhex(parts[5]);
    if (!n || !r || !p || !salt || !key || *n < 2 || *n > kMaxCostN || (*n & (*n - 1)) || *r < 1 ||
        *r > 32 || *p < 1 || *p > 16 || salt->size() < 8 || key->size() != kKeyBytes)
        return std::nullopt;
    out.n = *n, out.r = *r, out.p = *p;
    out.salt = *salt, out.key = *key;
    return out;
}

} // namespace

const char* roleName(Role role) {
    switch (role) {
    case Role::viewer:
        return "viewer";
    case Role::operator_:
        return "operator";
    case Role::admin:
        return "admin";
    }
    return "viewer";
}

std::optional<Role> roleNamed(std::string_view name) {
    for (Role r : {Role::viewer, Role::operator_, Role::admin})
        if (name == roleName(r)) return r;
    return std::nullopt;
}

std::string hashPassword(std::string_view password) {
    unsigned char salt[kSaltBytes], key[kKeyBytes];
    if (RAND_bytes(salt, int(sizeof salt)) != 1) return "";
    const std::string_view saltText(reinterpret_cast<const char*>(salt), sizeof salt);
    if (!scrypt(password, saltText, kCostN, kBlockR, kParallelP, key, sizeof key)) return "";
    const std::string out = "scrypt$" + std::to_string(kCostN) + "$" + std::to_string(kBlockR) +
                            "$" + std::to_string(kParallelP) + "$" + hex(salt, sizeof salt) + "$" +
                            hex(key, sizeof key);
    OPENSSL_cleanse(key, sizeof key);
    return out;
}

bool verifyPassword(std::string_view password, std::string_view hash) {
    const auto h = parseHash(hash);
    if (!h) {
        spendOneVerify(password);
        return false;
    }
    std::string key(h->key.size(), '\0');
    auto* k = reinterpret_cast<unsigned char*>(key.data());
    if (!scrypt(password, h->salt, h->n, h->r, h->p, k, key.size())) return false;
    const bool same = CRYPTO_memcmp(k, h->key.data(), key.size()) == 0;
    OPENSSL_cleanse(k, key.size());
    return same;
}

void spendOneVerify(std::string_view password) {
    unsigned char key[kKeyBytes];
    scrypt(password, "q7-no-such-user", kCostN, kBlockR, kParallelP, key, sizeof key);
}

std::string nameProblem(std::string_view name) {
    if (name.empty() || name.size() > 32) return "a user's name is 1 to 32 characters";
    for (const char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return "a user's name is made of letters, digits, '_', '-' and '.'";
    return "";
}

std::string passwordProblem(std::string_view password) {
    if (password.size() < 8) return "a password is at least 8 characters";
    if (password.size() > kMaxPassword) return "a password is at most 256 bytes";
    for (const char c : password)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "a password holds no control characters";
    return "";
}

std::variant<WebUsers, std::string> parseUsers(std::string_view text) {
    WebUsers users;
    LineReader reader(text);
    while (const auto line = reader.next()) {
        const std::string at = "line " + std::to_string(line->number) + ": ";
        if (line->kind != TextLine::Kind::bare) return at + "a user is NAME:ROLE:HASH";
        const std::string_view t = line->text;
        const auto first = t.find(':');
        const auto second = first == std::string_view::npos ? first : t.find(':', first + 1);
        if (second == std::string_view::npos) return at + "a user is NAME:ROLE:HASH";
        WebUser u;
        u.name = std::string(t.substr(0, first));
        if (std::string why = nameProblem(u.name); !why.empty()) return at + why;
        const auto role = roleNamed(t.substr(first + 1, second - first - 1));
        if (!role) return at + "the role is viewer, operator or admin";
        u.role = *role;
        u.hash = std::string(t.substr(second + 1));
        if (!parseHash(u.hash))
            return at + "the hash does not read (q7 users passwd " + u.name + " makes a new one)";
        if (findUser(users, u.name)) return at + u.name + " is named twice";
        users.push_back(std::move(u));
    }
    if (!reader.problem().empty())
        return "line " + std::to_string(reader.problemLine()) + ": " + reader.problem();
    return users;
}

std::string usersText(const WebUsers& users) {
    std::string out = "# The web view's users: NAME:ROLE:HASH; edited with q7 users\n";
    for (const WebUser& u : users)
        out += u.name + ":" + roleName(u.role) + ":" + u.hash + "\n";
    return out;
}

const WebUser* findUser(const WebUsers& users, std::string_view name) {
    for (const WebUser& u : users)
        if (u.name == name) return &u;
    return nullptr;
}

std::variant<WebUsers, std::string> loadUsers(const std::string& path) {
    std::string text;
    if (std::string why = readOwnerOnlyFile(path, "users file", &text, kMaxUsersFile); !why.empty())
        return why;
    auto parsed = parseUsers(text);
    if (auto* why = std::get_if<std::string>(&parsed)) return path + ": " + *why;
    return parsed;
}

std::string saveUsers(const std::string& path, const WebUsers& users) {
    // Made private before anything is in it; the atomic write keeps its mode.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    else if (errno != EEXIST)
        return "cannot make the users file " + path + ": " + std::strerror(errno);
    std::string why;
    if (!writeFileAtomically(path, usersText(users), &why))
        return "cannot write the users file " + path + ": " + why;
    return "";
}

std::variant<WebUsers, std::string> UsersFile::current() {
    struct stat st {};
    std::string seen = "gone";
    if (::stat(path_.c_str(), &st) == 0)
        seen = std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " " +
               std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec);
    if (seen != seen_ || seen == "gone") {
        users_ = loadUsers(path_);
        seen_ = seen;
    }
    return users_;
}
