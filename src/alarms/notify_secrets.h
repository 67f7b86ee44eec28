#pragma once
// The notifications' secrets live in the bridge's credentials file, beside
// the broker's "user:password" on its first line:
//
//   kiln:broker-password
//   ntfy_token = tk_...
//   webhook_secret = ...
//   smtp_server = mail.example.com:587
//   smtp_from = kiln@example.com
//   smtp_starttls = yes
//   smtp_ca = /etc/ssl/site-ca.pem
//   smtp_user = kiln
//   smtp_password = ...
//
// The mail server's address and sender sit there too, beside its user and
// password, so every command that reads the file (the bridge, `q7 alarms
// test`) has the whole of it. smtp_starttls = no sends in plain SMTP;
// smtp_ca names certificates (PEM) trusted for the server beside the
// system's, for a site whose mail server has a certificate of its own CA.
//
// The file is read only when its owner alone may read it, as for the broker.
#include "alarms/notifier.h"

#include <string>
#include <string_view>

// The secrets the text names (any may be missing), or why a line is wrong
// in *why (an smtp_server or smtp_starttls that is none).
NotifySecrets notifySecretsOf(std::string_view text, std::string* why = nullptr);
// The file's secrets, or why it is refused.
std::string readNotifySecrets(const std::string& path, NotifySecrets* secrets);
