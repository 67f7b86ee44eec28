#include "base/id_list.h"

#include "base/number_text.h"

#include <algorithm>

namespace {

// One id, or the reason it is none.
int idIn(std::string_view text, std::string& error) {
    const auto n = parseWhole(trimmed(text));
    if (n && controllerIdInRange(*n)) return int(*n);
    error = "'" + std::string(trimmed(text)) + "' is no controller id (ids run from 1 to 247)";
    return 0;
}

} // namespace

bool controllerIdInRange(long long id) {
    return id >= kFirstControllerId && id <= kLastControllerId;
}

IdList parseIdList(std::string_view text) {
    IdList list;
    std::string& error = list.error;
    while (error.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = trimmed(text.substr(0, comma));
        if (item.empty()) {
            error = "the list has an empty place; write ids as in 1,3,5-7";
            break;
        }
        const auto dash = item.find('-');
        const int first = idIn(item.substr(0, dash), error);
        const int last =
            dash == item.npos || !error.empty() ? first : idIn(item.substr(dash + 1), error);
        if (error.empty() && last < first) error = "'" + std::string(item) + "' runs backwards";
        for (int id = first; error.empty() && id <= last; ++id) {
            if (std::find(list.ids.begin(), list.ids.end(), id) != list.ids.end())
                error = std::to_string(id) + " is named twice";
            list.ids.push_back(id);
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (!error.empty()) list.ids.clear();
    return list;
}

bool idListed(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}
