#pragma once
// The parameters the bulk read fetched, as `q7 read` prints them: by name,
// scaled, with units and choice names, as text for a person or JSON for a
// script.
#include "params/bulk_read.h"

#include <string>

std::string parameterListingText(const BulkReadResult& read);
std::string parameterListingJson(const BulkReadResult& read);
