#pragma once
// Lines appended to a file that others read while it grows (the data log,
// the trace), on a disk that may fill up: a line is in the file whole or
// not at all.
#include <string_view>

// Appends text, whole lines ending in a line feed, to the end of the file
// open on fd. A write that fails part-way is cut back to where the file
// ended before it. 0, or the system's errno.
int appendWholeLines(int fd, std::string_view text);

// A file that is being added to and does not end with a line feed (its
// last line was cut short by another program or a crash) gets one, so the
// next line starts on a line of its own. 0, or the system's errno.
int endLastLine(int fd);
