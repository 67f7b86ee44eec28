#include "traffic/csv_rows.h"

#include "base/number_text.h"

std::string csvHeader() {
    return "time,direction,bytes,verdict,meaning,attempt,round trip ms\n";
}

std::string csvLine(const TrafficRow& row) {
    return isoLocalTime(row.wallMs) + (row.tx ? ",TX," : ",RX,") + hexText(row.bytes) + "," +
           (row.unjudged ? "" : csvField(verdictText(row.verdict))) + "," + csvField(row.meaning) +
           "," + formatWhole(row.attempt) + "," +
           (row.roundTripMs < 0 ? "" : formatFixed(row.roundTripMs, 1)) + "\n";
}
