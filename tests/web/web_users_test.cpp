// The web view's users file and its passwords: what is refused, that a
// hash verifies only its own password, and that `q7 users` never shows a
// hash or a password.
#include "web/web_sessions.h"
#include "web/web_users.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class WebUsersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7users.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        file = dir + "/users";
    }
    void TearDown() override {
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE();
    }
    // q7 users --file FILE WORDS..., given input on stdin.
    struct Ran {
        int status = -1;
        std::string out, err;
    };
    Ran users(const QStringList& words, const std::string& input = "") {
        const char* bin = std::getenv("Q7_BINARY_DIR");
        QProcess p;
        p.start(QString(bin ? bin : ".") + "/q7",
                QStringList{"users", "--file", QString::fromStdString(file)} + words);
        p.write(input.data(), qint64(input.size()));
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return {p.exitCode(), p.readAllStandardOutput().toStdString(),
                p.readAllStandardError().toStdString()};
    }
    std::string slurp() const {
        std::ifstream in(file);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string dir, file;
};

} // namespace

TEST_F(WebUsersTest, AHashVerifiesItsOwnPasswordAlone) {
    const std::string a = hashPassword("kiln-key-1"), b = hashPassword("kiln-key-1");
    ASSERT_EQ(a.rfind("scrypt$16384$8$1$", 0), 0u) << a;
    EXPECT_NE(a, b); // salted
    EXPECT_EQ(a.find(':'), std::string::npos);
    EXPECT_TRUE(verifyPassword("kiln-key-1", a));
    EXPECT_TRUE(verifyPassword("kiln-key-1", b));
    EXPECT_FALSE(verifyPassword("kiln-key-2", a));
    EXPECT_FALSE(verifyPassword("", a));
    // A hash cut short or of a cost out of bounds matches nothing.
    EXPECT_FALSE(verifyPassword("kiln-key-1", a.substr(0, a.size() - 2)));
    std::string dear = a;
    dear.replace(7, 5, "99999");
    EXPECT_FALSE(verifyPassword("kiln-key-1", dear));
    EXPECT_FALSE(verifyPassword("kiln-key-1", "plain"));
}

TEST_F(WebUsersTest, TheFileIsReadOnlyWhenItsOwnersAloneAndAsWritten) {
    const std::string hash = hashPassword("kiln-key-1");
    std::ofstream(file) << "# users\nanna:operator:" << hash << "\nbo:viewer:" << hash << "\n";
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    auto loaded = loadUsers(file);
    ASSERT_TRUE(std::holds_alternative<std::string>(loaded));
    EXPECT_EQ(std::get<std::string>(loaded),
              "the users file " + file + " may be read by others (chmod 600 " + file + ")");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    loaded = loadUsers(file);
    ASSERT_TRUE(std::holds_alternative<WebUsers>(loaded)) << std::get<std::string>(loaded);
    const WebUsers& u = std::get<WebUsers>(loaded);
    ASSERT_EQ(u.size(), 2u);
    EXPECT_EQ(u[0].name, "anna");
    EXPECT_EQ(u[0].role, Role::operator_);
    EXPECT_EQ(u[1].role, Role::viewer);

    const auto why = [](const std::string& text) {
        const auto r = parseUsers(text);
        return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "";
    };
    EXPECT_EQ(why("anna:operator:" + hash + "\nanna:admin:" + hash + "\n"),
              "line 2: anna is named twice");
    EXPECT_EQ(why("anna:root:" + hash), "line 1: the role is viewer, operator or admin");
    EXPECT_EQ(why("anna operator " + hash), "line 1: a user is NAME:ROLE:HASH");
    EXPECT_EQ(why("an/na:viewer:" + hash),
              "line 1: a user's name is made of letters, digits, '_', '-' and '.'");
    EXPECT_EQ(why("anna:viewer:secret"),
              "line 1: the hash does not read (q7 users passwd anna makes a new one)");
}

TEST_F(WebUsersTest, UsersCommandKeepsHashesAndNeverShowsThem) {
    Ran r = users({"add", "anna", "operator"}, "kiln-key-1\n");
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(users({"add", "bo", "viewer"}, "short\n").status, 2); // too short a password
    ASSERT_EQ(users({"add", "bo", "viewer"}, "glaze-key-2\n").status, 0);
    EXPECT_EQ(users({"add", "bo", "admin"}, "glaze-key-3\n").status, 2); // there already
    EXPECT_EQ(users({"add", "cy", "root"}, "glaze-key-3\n").status, 2);
    EXPECT_EQ(slurp().find("kiln-key-1"), std::string::npos);

    r = users({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "anna operator\nbo viewer\n");
    const std::string before = slurp();
    ASSERT_EQ(users({"passwd", "bo"}, "glaze-key-4\n").status, 0);
    auto loaded = loadUsers(file);
    ASSERT_TRUE(std::holds_alternative<WebUsers>(loaded));
    const WebUsers u = std::get<WebUsers>(loaded);
    EXPECT_TRUE(verifyPassword("glaze-key-4", u[1].hash));
    EXPECT_EQ(u[0].hash, std::get<WebUsers>(parseUsers(before))[0].hash);
    ASSERT_EQ(users({"remove", "anna"}).status, 0);
    EXPECT_EQ(users({"list"}).out, "bo viewer\n");
    EXPECT_EQ(users({"remove", "anna"}).status, 2);

    // A file others may read is refused by every verb, listing too.
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    r = users({"list"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("may be read by others (chmod 600 " + file + ")"), std::string::npos)
        << r.err;
}

namespace {

class VirtualClock final : public Clock {
  public:
    TimePoint now() override { return t; }
    void sleepUntil(TimePoint until) override { t = std::max(t, until); }
    TimePoint t{};
};

} // namespace

// Failed logins are bounded per address and per name on the clock given:
// past five in a row the next is refused unlooked-at for a minute, then for
// twice as long; a good login clears its name's count, a session ends at
// its expiry or when its user goes from the file.
TEST_F(WebUsersTest, LoginsAreLimitedAndSessionsEndOnAVirtualClock) {
    using namespace std::chrono_literals;
    WebUsers users{{"anna", Role::operator_, hashPassword("kiln-key-1")},
                   {"bo", Role::viewer, hashPassword("glaze-key-2")}};
    VirtualClock clock;
    LoginLimits limits;
    limits.sessionLife = 3600s;
    WebSessions sessions([&] { return std::variant<WebUsers, std::string>(users); }, limits, clock);
    using S = LoginResult::Status;

    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sessions.login("anna", "guess" + std::to_string(i), "10.0.0.5").status, S::wrong);
    // Locked: even the right password is not looked at, from any address.
    LoginResult r = sessions.login("anna", "kiln-key-1", "10.0.0.6");
    EXPECT_EQ(r.status, S::limited);
    EXPECT_EQ(r.why, "too many failed logins; try again in 60 s");
    // And that address is locked for every name.
    EXPECT_EQ(sessions.login("bo", "glaze-key-2", "10.0.0.5").status, S::limited);
    EXPECT_EQ(sessions.login("bo", "glaze-key-2", "10.0.0.7").status, S::ok);
    clock.t += 59s;
    EXPECT_EQ(sessions.login("anna", "kiln-key-1", "10.0.0.6").retryAfter, 1s);
    clock.t += 1s;
    // One more failure doubles the lockout.
    EXPECT_EQ(sessions.login("anna", "guess", "10.0.0.6").status, S::wrong);
    EXPECT_EQ(sessions.login("anna", "kiln-key-1", "10.0.0.8").retryAfter, 120s);
    clock.t += 120s;
    r = sessions.login("anna", "kiln-key-1", "10.0.0.8");
    ASSERT_EQ(r.status, S::ok);
    EXPECT_EQ(r.session.role, Role::operator_);
    EXPECT_EQ(r.id.size(), 64u);
    EXPECT_EQ(r.session.token.size(), 64u);
    EXPECT_NE(r.id, r.session.token);
    // Cleared: a slip after a good login is one failure, not a lockout.
    EXPECT_EQ(sessions.login("anna", "guess", "10.0.0.8").status, S::wrong);
    EXPECT_EQ(sessions.login("anna", "kiln-key-1", "10.0.0.8").status, S::ok);
    EXPECT_EQ(sessions.login("nobody", "kiln-key-1", "10.0.0.8").status, S::wrong);

    ASSERT_TRUE(sessions.find(r.id));
    EXPECT_EQ(sessions.find(r.id)->user, "anna");
    EXPECT_FALSE(sessions.find(r.session.token)); // the token opens no session
    clock.t += 3599s;
    EXPECT_TRUE(sessions.find(r.id));
    clock.t += 1s;
    EXPECT_FALSE(sessions.find(r.id)); // expired

    r = sessions.login("anna", "kiln-key-1", "10.0.0.8");
    ASSERT_EQ(r.status, S::ok);
    users[0].role = Role::viewer; // another role: logged out
    EXPECT_FALSE(sessions.find(r.id));
    r = sessions.login("anna", "kiln-key-1", "10.0.0.8");
    ASSERT_TRUE(sessions.find(r.id));
    sessions.logout(r.id);
    EXPECT_FALSE(sessions.find(r.id));
}
