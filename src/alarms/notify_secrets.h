#pragma once
// The notifications' secrets live in the bridge's credentials file, beside
// the broker's "user:password" on its first line:
//
//   kiln:broker-password
//   ntfy_token = tk_...
//   webhook_secret = ...
//
// The file is read only when its owner alone may read it, as for the broker.
#include "alarms/notifier.h"

#include <string>
#include <string_view>

// The secrets the text names (either may be missing).
NotifySecrets notifySecretsOf(std::string_view text);
// The file's secrets, or why it is refused.
std::string readNotifySecrets(const std::string& path, NotifySecrets* secrets);
