#pragma once
// The unit of every value that has one, as the controller's unit and
// time-unit registers say: " °C" for a temperature, " °C/min" for the ramp
// rate. A unit the controller has not given is left unnamed; a code outside
// the table is named as the code.
#include <string>

class Controller;

// "°C", "°F", "(unit code 7)": the unit the code stands for.
std::string unitName(int code);
// " °C", " °F", " (unit code 7)"; "" while the unit is unknown.
std::string degreesSuffix(const Controller& c);
// What follows the degrees of a rate for the time unit code: "/s" (MM:SS),
// "/min" (HH:MM), " per time code 7".
std::string perTimeUnit(int timeUnit);
// " °C/s" (MM:SS), " °C/min" (HH:MM); "" while the unit is unknown.
std::string degreeRateSuffix(const Controller& c);
// " (MM:SS)", " (HH:MM)" after a heading of times in the controller's time
// unit; " (time code 7)" for a code outside the table; "" while unknown.
std::string timeUnitSuffix(const Controller& c);
