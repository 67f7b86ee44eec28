#pragma once
// Who may log in to the web view, and as what: the users file, one
// "NAME:ROLE:HASH" line per user, beside the bridge's config. It is read
// only when no one but its owner may read it, as the credentials are.
// Passwords are kept as salted scrypt hashes (OpenSSL), never in the clear:
// "scrypt$N$r$p$SALT$KEY", salt and key in hex.
//
// Roles: a viewer sees everything; an operator also starts, pauses,
// continues and stops runs and sets SV and mode where the line's writes
// allow; an admin is an operator who also sees the users.
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class Role { viewer, operator_, admin };
const char* roleName(Role role);
std::optional<Role> roleNamed(std::string_view name);
inline bool mayControl(Role role) {
    return role != Role::viewer;
}

struct WebUser {
    std::string name;
    Role role = Role::viewer;
    std::string hash;
    bool operator==(const WebUser&) const = default;
};
using WebUsers = std::vector<WebUser>;

inline constexpr std::size_t kMaxUsersFile = 64 * 1024;
inline constexpr std::size_t kMaxPassword = 256;

// A new salted hash of the password; "" only when the system gives no
// random bytes or scrypt fails.
std::string hashPassword(std::string_view password);
// Whether password is the one hash was made of. A hash that does not read
// matches nothing, and costs the same as one that does.
bool verifyPassword(std::string_view password, std::string_view hash);
// What a failed login costs when the user is unknown, so that the answer's
// time does not tell which names exist.
void spendOneVerify(std::string_view password);

// Why a name or password is not taken; empty when it is. A name is 1-32
// letters, digits, '_', '-' or '.'; a password 8-256 bytes, no control
// characters.
std::string nameProblem(std::string_view name);
std::string passwordProblem(std::string_view password);

// The file's text: the users, or "line N: why".
std::variant<WebUsers, std::string> parseUsers(std::string_view text);
std::string usersText(const WebUsers& users);
const WebUser* findUser(const WebUsers& users, std::string_view name);

// The users file at path, refused unless only its owner may read it.
std::variant<WebUsers, std::string> loadUsers(const std::string& path);
// Written atomically; a new file is made mode 0600. Empty, or why not.
std::string saveUsers(const std::string& path, const WebUsers& users);

// The users file as it stands, read again only when it changed (another
// inode, size, mode or time), so a running bridge takes `q7 users` at once
// and a session is checked at every request for little.
class UsersFile {
  public:
    explicit UsersFile(std::string path) : path_(std::move(path)) {}
    std::variant<WebUsers, std::string> current();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string seen_; // what stat() said when it was last read
    std::variant<WebUsers, std::string> users_ = std::string("not read");
};
