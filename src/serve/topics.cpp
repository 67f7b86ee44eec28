#include "serve/topics.h"

#include "base/number_text.h"
#include "serve/serve_config.h"

std::string TopicBase::of(int id, std::string_view leaf) const {
    return prefix + "/" + line + "/" + std::to_string(id) + "/" + std::string(leaf);
}

std::string bridgeAvailableTopic(const std::string& prefix) {
    return prefix + "/bridge/available";
}

std::string lineStatusTopic(const TopicBase& base) {
    return base.prefix + "/" + base.line + "/status";
}

std::optional<CommandTopic> parseCommandTopic(const TopicBase& base, std::string_view topic) {
    const std::string head = base.prefix + "/" + base.line + "/";
    if (topic.rfind(head, 0) != 0) return std::nullopt;
    topic.remove_prefix(head.size());
    const auto slash1 = topic.find('/');
    if (slash1 == topic.npos) return std::nullopt;
    const auto slash2 = topic.find('/', slash1 + 1);
    if (slash2 == topic.npos) return std::nullopt;
    const auto id = parseWhole(topic.substr(0, slash1));
    CommandTopic c;
    c.verb = std::string(topic.substr(slash1 + 1, slash2 - slash1 - 1));
    c.name = std::string(topic.substr(slash2 + 1));
    if (!id || *id < 1 || *id > 247 || (c.verb != "set" && c.verb != "get" && c.verb != "run") ||
        !plainName(c.name) || c.name.size() > 32)
        return std::nullopt;
    c.id = int(*id);
    return c;
}

std::string runStateTopic(const TopicBase& base, const std::string& run) {
    return base.prefix + "/" + base.line + "/run/" + run + "/state";
}
