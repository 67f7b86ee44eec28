#include "cli/runs_text.h"

#include <algorithm>
#include <cstdio>

namespace {

// Columns on a terminal: a "°" is two bytes and one column.
std::size_t shownWidth(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

} // namespace

void printColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> width;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (width.size() <= i) width.resize(i + 1, 0);
            width[i] = std::max(width[i], shownWidth(row[i]));
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(width[i] - shownWidth(row[i]) + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::printf("%s\n", line.c_str());
    }
}
