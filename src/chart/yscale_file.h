#pragma once
// XYscale.txt: "Ymax Ymin points\n", kept between runs. A fourth number, 1
// or 0, says whether the chart scales itself to the data; files without it
// (older ones) leave that as it is, and readers of the three numbers read
// past it.
#include "chart/chart_state.h"

#include <string>
#include <string_view>

inline constexpr const char* kYScaleFile = "XYscale.txt";

// Reads the fields in order over scale; reading stops at the first missing or
// unreadable field, which leaves that setting and those after it as they were.
// The fourth field counts only as 0 or 1.
void parseYScale(std::string_view text, ChartScale& scale);
std::string formatYScale(const ChartScale& scale);

// False when the file cannot be read; scale is then unchanged.
bool readYScaleFile(const std::string& path, ChartScale& scale);
// Replaces the file atomically; false, with the reason, when it cannot.
bool writeYScaleFile(const std::string& path, const ChartScale& scale, std::string* why = nullptr);
