#pragma once
// Names the unit beside every value that has one. Panel files mark the
// controls: `showsDegrees`, `showsDegreeRate`.
inline constexpr const char* kDegreesMark = "showsDegrees";
inline constexpr const char* kDegreeRateMark = "showsDegreeRate";

void showUnits();
