#include "alarms/notify_secrets.h"

#include "alarms/smtp_send.h"
#include "base/secret_file.h"

namespace {

// As the bridge reads the same file.
constexpr std::size_t kMaxCredentials = 4096;

std::string_view secretWord(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

NotifySecrets notifySecretsOf(std::string_view text, std::string* why) {
    NotifySecrets out;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        const std::string_view line = text.substr(from, end - from);
        from = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = secretWord(line.substr(0, eq)),
                               value = secretWord(line.substr(eq + 1));
        if (key == "ntfy_token") out.ntfyToken = std::string(value);
        if (key == "webhook_secret") out.webhookSecret = std::string(value);
        if (key == "smtp_user") out.mail.user = std::string(value);
        if (key == "smtp_password") out.mail.password = std::string(value);
        if (key == "smtp_from") {
            out.mail.from = std::string(value);
            if (!isMailAddress(out.mail.from) && why)
                *why = "smtp_from = takes a mail address, not '" + out.mail.from + "'";
        }
        if (key == "smtp_server" && !parseSmtpServer(std::string(value), &out.mail) && why)
            *why = "smtp_server = takes HOST:PORT, not '" + std::string(value) + "'";
        if (key == "smtp_ca") out.mail.caFile = std::string(value);
        if (key == "smtp_starttls") {
            if (value == "yes" || value == "no")
                out.mail.starttls = value == "yes";
            else if (why)
                *why = "smtp_starttls = takes yes or no, not '" + std::string(value) + "'";
        }
    }
    return out;
}

std::string readNotifySecrets(const std::string& path, NotifySecrets* secrets) {
    std::string text;
    if (std::string why = readOwnerOnlyFile(path, "credentials file", &text, kMaxCredentials);
        !why.empty())
        return why;
    std::string why;
    *secrets = notifySecretsOf(text, &why);
    return why.empty() ? "" : path + ": " + why;
}
