#pragma once
// One field of a CSV row, quoted only where a comma, a quote or a line end
// would break the row; a quote inside is doubled.
#include <string>
#include <string_view>

std::string csvField(std::string_view text);
