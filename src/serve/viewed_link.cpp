#include "serve/viewed_link.h"

#include "web/plant_view.h"

#include <charconv>
#include <optional>

namespace {

// The id of PREFIX/LINE/ID/leaf, when the topic is of this line and leaf.
std::optional<int> idOf(const TopicBase& base, std::string_view topic, std::string_view leaf) {
    const std::string head = base.prefix + "/" + base.line + "/";
    if (!topic.starts_with(head) || !topic.ends_with("/" + std::string(leaf))) return {};
    const std::string_view digits =
        topic.substr(head.size(), topic.size() - head.size() - leaf.size() - 1);
    int id = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()) return {};
    return id;
}

} // namespace

void ViewedLink::publish(std::string topic, std::string payload, bool retain) {
    if (retain) {
        if (const auto id = idOf(base_, topic, "state")) {
            payload.empty() ? view_.removed(base_.line, *id)
                            : view_.state(base_.line, *id, payload);
        } else if (const auto id = idOf(base_, topic, "available"); id && !payload.empty()) {
            view_.available(base_.line, *id, payload == "online");
        }
    }
    link_.publish(std::move(topic), std::move(payload), retain);
}
