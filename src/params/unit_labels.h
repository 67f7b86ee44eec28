#pragma once
// Names the unit beside every value that has one, as the controller's unit
// and time-unit registers say: " °C" beside a temperature, " °C/min" beside
// the ramp rate. Panel files mark the controls: `showsDegrees`,
// `showsDegreeRate`. A unit the controller has not given is left unnamed; a
// code outside the table is named as the code.
#include <string>

inline constexpr const char* kDegreesMark = "showsDegrees";
inline constexpr const char* kDegreeRateMark = "showsDegreeRate";

// "°C", "°F", "(unit code 7)": the unit the code stands for.
std::string unitName(int code);
// " °C", " °F", " (unit code 7)"; "" while the unit is unknown.
std::string degreesSuffix();
// " °C/s" (MM:SS), " °C/min" (HH:MM); "" while the unit is unknown.
std::string degreeRateSuffix();
void showUnits();
