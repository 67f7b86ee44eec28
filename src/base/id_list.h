#pragma once
// A list of controller ids as people write them: "1,3,5-7". Ids run from 1
// to 247 (the Modbus slave addresses), each named once, kept in the order
// given. The command line's --id and scan --ids, and the bridge's `ids =`,
// all read lists this way.
#include <string>
#include <string_view>
#include <vector>

// The Modbus slave addresses a controller may have. Wherever an id is read,
// one outside is refused: cut to 8 bits it would address another controller.
inline constexpr int kFirstControllerId = 1, kLastControllerId = 247;
bool controllerIdInRange(long long id);
// The id is one of ids.
bool idListed(const std::vector<int>& ids, int id);

struct IdList {
    std::vector<int> ids;
    std::string error; // what is wrong, e.g. "5 is named twice"; empty when fine

    bool ok() const { return error.empty(); }
};

// Blanks around the items are allowed.
IdList parseIdList(std::string_view text);
