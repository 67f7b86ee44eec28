#pragma once
// The bridge's topics: PREFIX/LINE/ID/{state,available,parameters,result}
// and PREFIX/LINE/status out, PREFIX/LINE/ID/{set/NAME,get/parameters,run/VERB} in,
// a firing run's PREFIX/LINE/run/NAME/state out, and
// PREFIX/bridge/available for the bridge itself.
#include <optional>
#include <string>
#include <string_view>

struct TopicBase {
    std::string prefix, line;
    // "PREFIX/LINE/ID/leaf"
    std::string of(int id, std::string_view leaf) const;
};

std::string bridgeAvailableTopic(const std::string& prefix);
// PREFIX/LINE/status: how the line's polling goes.
std::string lineStatusTopic(const TopicBase& base);
// PREFIX/LINE/run/NAME/state: a firing run's state, NAME a plain segment.
std::string runStateTopic(const TopicBase& base, const std::string& run);

// The command topics a controller's id subscribes under PREFIX/LINE/ID.
inline constexpr const char* kCommandTopics[] = {"set/+", "get/+", "run/+"};

// A command's topic taken apart: the id and "set/sv", "get/parameters", ...
struct CommandTopic {
    int id = 0;
    std::string verb; // "set", "get" or "run"
    std::string name; // what follows it; checked to be a plain name
};
// Nothing for a topic that is not PREFIX/LINE/ID/VERB/NAME of this base.
std::optional<CommandTopic> parseCommandTopic(const TopicBase& base, std::string_view topic);
