#pragma once
// Clock text the logic formats its output with, and the sample clock.
#include <string>

// "HH:MM:SS", local time.
std::string TimeStr();
// "HH:MM:SS" of the moment that many seconds ago, local time.
std::string timeStrAgo(double seconds);
// A wall-clock time (Unix seconds) as local time, in strftime's format.
std::string localTimeText(double wall, const char* format);
// "HH:MM:SS" of a wall-clock time, local time.
std::string clockTextAt(double wall);
// A moment told against now, local time, with its day: "18:00 today",
// "06:40 tomorrow (2026-12-11)", "09:15 on 2026-12-14"; format is the
// clock's strftime format ("%H:%M" or "%H:%M:%S").
std::string dayClockText(double wall, double now, const char* format = "%H:%M");
// "2026-03-07T14:05:09+01:00": local time with its offset from UTC.
std::string localIsoText(double wall);
int GetSystemDate(int* month, int* day, int* year);
// Seconds on a clock that never jumps (unlike the time of day): when a
// sample was taken, for the chart's time axis.
double SampleTime();
