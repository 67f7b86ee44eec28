#pragma once
// The parameters the bulk read fetched, as `q7 read` prints them: by name,
// scaled, with units and choice names, as text for a person or JSON for a
// script; and as the bridge publishes them.
#include "params/bulk_read.h"

#include <cstdint>
#include <string>
#include <vector>

class Controller;

// One parameter as read: its number (a value, a code or a count of time
// units) with its unit, and how a person reads it.
struct ListedParameter {
    uint16_t reg;
    std::string key;    // "alarm1_set_point", what a script finds it by
    std::string name;   // as the panels label it
    std::string number; // "25.0", "3", "90"
    std::string text;   // "25.0", "AT1", "1:30"
    std::string unit;   // of the number: "°C", "%", "s"; may be empty
};
// In register order.
std::vector<ListedParameter> listParameters(const Controller& c, const BulkReadResult& read);

std::string parameterListingText(const Controller& c, const BulkReadResult& read);
std::string parameterListingJson(const Controller& c, const BulkReadResult& read);
