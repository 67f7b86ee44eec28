#pragma once
// XYscale.txt: "Ymax Ymin points\n", kept between runs.
#include "chart/chart_state.h"

#include <string>
#include <string_view>

inline constexpr const char* kYScaleFile = "XYscale.txt";

// Reads the fields in order over scale; reading stops at the first missing or
// unreadable field, which leaves that setting and those after it as they were.
void parseYScale(std::string_view text, ChartScale& scale);
std::string formatYScale(const ChartScale& scale);

// False when the file cannot be read; scale is then unchanged.
bool readYScaleFile(const std::string& path, ChartScale& scale);
// Replaces the file atomically; false, with the reason, when it cannot.
bool writeYScaleFile(const std::string& path, const ChartScale& scale, std::string* why = nullptr);
