#pragma once
// Who may read the web view. A browser sends the name it looked up in
// Host, and the page a script came from in Origin: a Host that is not a
// name of this server is a page of someone else's that had its name point
// here (DNS rebinding), and a WebSocket from a foreign Origin is someone
// else's page reading the plant through the viewer's browser. No Qt here:
// the bridge's config reader checks the lists with it.
#include <string>
#include <string_view>
#include <vector>

struct WebAccess {
    // Names a Host may give besides the server's own: lower case, no
    // brackets, no trailing dot.
    std::vector<std::string> hosts;
    // Pages besides the view's own that may open /ws: "scheme://host[:port]",
    // lower case.
    std::vector<std::string> origins;
};

// "kiln.example, 192.168.1.5, [fe80::1]": host names or IP addresses,
// without a port, added to out. Empty when fine, else why not.
std::string parseHostNames(std::string_view text, std::vector<std::string>& out);
// "https://plant.example, http://kiln.local:8080": origins, added to out.
std::string parseOrigins(std::string_view text, std::vector<std::string>& out);

// The name in a Host header ("Kiln.Example:8080" gives "kiln.example",
// "[::1]:80" gives "::1"); "" when the header is not HOST[:PORT].
std::string hostOfHeader(std::string_view host);
// Whether a page from origin may open /ws asked as host: the page's own
// (http or https on the very Host it asked) or one allowed.
bool originAllowed(std::string_view origin, std::string_view host,
                   const std::vector<std::string>& allowed);
