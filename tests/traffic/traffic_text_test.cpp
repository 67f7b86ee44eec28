// What the traffic says about a frame: the verdict, the meaning, the CSV line
// and its time stamp, the statistics and the health line, without a line.
#include "link/registers.h"
#include "params/params_state.h"
#include "traffic/csv_rows.h"
#include "traffic/frame_meaning.h"
#include "traffic/line_statistics.h"
#include "traffic/traffic_row.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

using namespace std::chrono_literals;

const Frame kPvRead = {0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
const Frame kSvWrite = {0x01, 0x06, 0x00, 0x00, 0x00, 0xFA, 0x09, 0x89};          // SV 25.0
const std::vector<uint8_t> kPvReply = {0x01, 0x03, 0x02, 0x00, 0xED, 0x78, 0x09}; // 23.7

FrameRecord record(const Frame& request, std::vector<uint8_t> reply, Fault fault) {
    FrameRecord r;
    r.request = request;
    r.reply = std::move(reply);
    r.verdict = fault;
    r.sent = Clock::TimePoint{} + 1000ms;
    r.replyEnd = r.sent + 40ms;
    return r;
}

class TrafficText : public ::testing::Test {};

// Splits one CSV line into its fields, honouring quotes.
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c != '\n' || quoted) {
            fields.back() += c;
        }
    }
    return fields;
}

} // namespace

TEST_F(TrafficText, DamagedRepliesAreToldApartByHowTheyWentWrong) {
    EXPECT_EQ(verdictOf(record(kPvRead, kPvReply, Fault::none)), Verdict::good);
    FrameRecord late = record(kPvRead, kPvReply, Fault::none);
    late.lateBytesDiscarded = true;
    EXPECT_EQ(verdictOf(late), Verdict::lateBytesDiscarded);
    EXPECT_FALSE(isFailure(verdictOf(late)));
    // Full length, bad CRC; cut short; a damaged five-byte exception reply.
    EXPECT_EQ(verdictOf(record(kPvRead, {1, 3, 2, 0, 0xED, 0x78, 0x08}, Fault::damaged)),
              Verdict::crcError);
    EXPECT_EQ(verdictOf(record(kPvRead, {1, 3, 2, 0}, Fault::damaged)), Verdict::shortReply);
    EXPECT_EQ(verdictOf(record(kPvRead, {1, 0x83, 2, 0xC0, 0xF0}, Fault::damaged)),
              Verdict::crcError);
    EXPECT_EQ(verdictOf(record(kPvRead, {}, Fault::noReply)), Verdict::noReply);
    EXPECT_EQ(verdictText(Verdict::noReply), std::string("no reply"));
    EXPECT_EQ(verdictText(Verdict::crcError), std::string("CRC error"));
}

TEST_F(TrafficText, MeaningUsesTheRegisterNamesAndTheDecimalPoint) {
    Scale scale = Scale::ofDecimalPoint(1);
    EXPECT_EQ(exchangeMeaning(scale, record(kPvRead, kPvReply, Fault::none)),
              "read 0x1000 PV → 23.7");
    EXPECT_EQ(
        exchangeMeaning(scale, record(kSvWrite, {kSvWrite.begin(), kSvWrite.end()}, Fault::none)),
        "write 0x0000 SV 25.0 → confirmed");
    FrameRecord refused = record(kSvWrite, {0x01, 0x86, 0x03, 0x02, 0x61}, Fault::exception);
    refused.exceptionCode = 3;
    EXPECT_EQ(exchangeMeaning(scale, refused),
              "write 0x0000 SV 25.0 → exception 03 (illegal data value)");
    EXPECT_EQ(exceptionMeaning(0x0C), "exception 0C");
    EXPECT_EQ(exchangeMeaning(scale, record(kPvRead, {}, Fault::noReply)),
              "read 0x1000 PV → no reply");

    scale = Scale{};
    EXPECT_EQ(exchangeMeaning(scale, record(kPvRead, kPvReply, Fault::none)),
              "read 0x1000 PV → 237");
    // A block read names each register it can and lists the first values.
    const Frame limits = {0x01, 0x03, 0x00, 0x23, 0x00, 0x02, 0x35, 0xC1};
    EXPECT_EQ(requestMeaning(scale, limits), "read 0x0023..0x0024");
    EXPECT_EQ(exchangeMeaning(scale, record(limits, {1, 3, 4, 0xFF, 0x38, 0x04, 0xB0, 0x48, 0x9E},
                                            Fault::none)),
              "read 0x0023..0x0024 → Lo limit=-200, Hi limit=1200");
}

TEST_F(TrafficText, CsvLineHasItsColumnsAndQuotesWhatNeedsIt) {
    EXPECT_EQ(csvField("plain"), "plain");
    EXPECT_EQ(csvField("a, b"), "\"a, b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");

    TrafficRow row;
    row.wallMs = 1'700'000'000'123;
    row.tx = false;
    row.bytes = kPvReply;
    row.verdict = Verdict::good;
    row.attempt = 2;
    row.roundTripMs = 41.25;
    row.meaning = "read 0x0023..0x0024 → Lo limit=-200, Hi limit=1200";
    const std::string line = csvLine(row);
    ASSERT_EQ(line.back(), '\n');
    const std::vector<std::string> f = csvFields(line);
    ASSERT_EQ(f.size(), 7u) << line;
    EXPECT_EQ(f[0], isoLocalTime(row.wallMs));
    EXPECT_EQ(f[1], "RX");
    EXPECT_EQ(f[2], "01 03 02 00 ED 78 09");
    EXPECT_EQ(f[3], "good");
    EXPECT_EQ(f[4], row.meaning);
    EXPECT_EQ(f[5], "2");
    EXPECT_EQ(f[6], "41.2");
    EXPECT_EQ(csvFields(csvHeader()).size(), 7u);

    row.tx = true;
    row.roundTripMs = -1;
    EXPECT_EQ(csvFields(csvLine(row))[1], "TX");
    EXPECT_EQ(csvFields(csvLine(row))[6], "");
}

TEST_F(TrafficText, TimeStampsAreLocalIso8601WithMillisecondsAndOffset) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(isoLocalTime(1'700'000'000'123), "2023-11-14T23:13:20.123+01:00");
    EXPECT_EQ(clockTime(1'700'000'000'007), "23:13:20.007");
    setenv("TZ", "XST+3:30", 1);
    tzset();
    EXPECT_EQ(isoLocalTime(1'700'000'000'999), "2023-11-14T18:43:20.999-03:30");
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(TrafficText, StatisticsCountEveryKindAndTheHealthLineSaysSo) {
    LineStatistics stats;
    const auto now = Clock::TimePoint{} + 1040ms; // when the replies ended
    EXPECT_EQ(healthText(stats.counts(), now), "no traffic yet");
    for (int i = 0; i < 999; ++i)
        stats.note(record(kPvRead, kPvReply, Fault::none));
    EXPECT_EQ(healthText(stats.counts(), now + 60s), "100.0 % good, no failure");
    FrameRecord retry = record(kPvRead, {1, 3, 2}, Fault::damaged);
    retry.attempt = 2;
    stats.note(retry);
    stats.note(record(kPvRead, {}, Fault::noReply));
    FrameRecord refused = record(kSvWrite, {0x01, 0x86, 0x03, 0x02, 0x61}, Fault::exception);
    refused.lateBytesDiscarded = true;
    stats.note(refused);
    stats.note(record(kPvRead, {2, 3, 2, 0, 0, 0, 0}, Fault::wrongSlave));

    const LineCounts c = stats.counts();
    EXPECT_EQ(c.requests, 1003);
    EXPECT_EQ(c.good, 999);
    EXPECT_EQ(c.retries, 1);
    EXPECT_EQ(c.crcOrShort, 1);
    EXPECT_EQ(c.noReplies, 1);
    EXPECT_EQ(c.exceptions, 1);
    EXPECT_EQ(c.wrongSlave, 1);
    EXPECT_EQ(c.lateBytesDiscarded, 1);
    EXPECT_EQ(c.replies, 1002); // the silent one has no round trip
    EXPECT_DOUBLE_EQ(c.meanRoundTripMs(), 40.0);
    // Every round trip of 40 ms is in the bucket up to 50 ms.
    EXPECT_EQ(c.roundTripBuckets[3], 1002);
    // 99.6 %, never rounded up past a failure.
    EXPECT_EQ(healthText(c, now + 12s), "99.6 % good, last failure 12 s ago");
    EXPECT_EQ(healthText(c, now + 300s), "99.6 % good, last failure 5 min ago");

    stats.reset();
    stats.note(record(kPvRead, kPvReply, Fault::none));
    for (int i = 0; i < 2000; ++i)
        stats.note(record(kPvRead, kPvReply, Fault::none));
    stats.note(record(kPvRead, {}, Fault::noReply));
    EXPECT_EQ(healthText(stats.counts(), now), "99.9 % good, last failure 0 s ago");

    // A round trip on a bucket's bound is in that bucket; one past the last
    // bound is in the last, and each reply is counted once.
    stats.reset();
    FrameRecord onBound = record(kPvRead, kPvReply, Fault::none);
    onBound.replyEnd = onBound.sent + 5ms;
    stats.note(onBound);
    onBound.replyEnd = onBound.sent + 2500ms;
    stats.note(onBound);
    const LineCounts b = stats.counts();
    EXPECT_EQ(b.roundTripBuckets[0], 1);
    EXPECT_EQ(b.roundTripBuckets.back(), 1);
    EXPECT_EQ(b.roundTripBuckets[1] + b.roundTripBuckets[8], 0);
}
