// XYscale.txt: any text leaves a scale that saves and reads back; the saved
// reals carry six decimals, so only the point count must come back exactly.
#include "chart/yscale_file.h"

#include <cmath>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ChartScale scale;
    parseYScale(text, scale);
    const std::string saved = formatYScale(scale);
    ChartScale again;
    parseYScale(saved, again);
    if (again.pointsPerScreen != scale.pointsPerScreen) std::abort();
    if (std::isfinite(scale.yMax) != std::isfinite(again.yMax)) std::abort();
    return 0;
}
