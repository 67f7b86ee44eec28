#pragma once
// Clock text the logic formats its output with, and the sample clock.
#include <string>

// "HH:MM:SS", local time.
std::string TimeStr();
// "HH:MM:SS" of the moment that many seconds ago, local time.
std::string timeStrAgo(double seconds);
int GetSystemDate(int* month, int* day, int* year);
// Seconds on a clock that never jumps (unlike the time of day): when a
// sample was taken, for the chart's time axis.
double SampleTime();
