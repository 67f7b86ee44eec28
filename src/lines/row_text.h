#pragma once
// What a row of the Line panel says about one controller: its cells as text,
// and whether it stands out. A value not read is an empty cell.
#include "base/clock.h"
#include "monitor/controller_poll.h"

#include <array>
#include <optional>
#include <string>

struct LineRow {
    uint16_t id = 0;
    bool polled = false; // its first turn has come
    PollReading reading;
    std::optional<Clock::TimePoint> lastReply; // its last good reply
};

enum LineColumn {
    idColumn,
    modelColumn,
    pvColumn,
    svColumn,
    modeColumn,
    outColumn,
    ageColumn,
    stateColumn,
    lineColumnCount
};

struct RowText {
    std::array<std::string, lineColumnCount> cells;
    bool fault = false;
};

RowText rowText(const LineRow& row, Clock::TimePoint now);
