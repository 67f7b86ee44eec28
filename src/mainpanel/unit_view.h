#pragma once
// Names the unit beside every value that has one. Panel files mark the
// controls: `showsDegrees`, `showsDegreeRate`, and headings of times in the
// controller's time unit `showsTimeUnit`.

class Controller;
inline constexpr const char* kDegreesMark = "showsDegrees";
inline constexpr const char* kDegreeRateMark = "showsDegreeRate";
inline constexpr const char* kTimeUnitMark = "showsTimeUnit";

void showUnits(Controller& c);
