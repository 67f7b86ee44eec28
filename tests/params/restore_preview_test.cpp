// What a restore would change, as the operator is shown it before anything
// is sent.
#include "link/registers.h"
#include "params/register_map.h"
#include "params/restore_preview.h"

#include <gtest/gtest.h>

namespace {

std::bitset<64> heldAll() {
    std::bitset<64> held;
    for (uint16_t reg : bulkWriteOrder())
        held.set(reg);
    return held;
}

ParmRecord withOnePlace() {
    ParmRecord r;
    r.decimalPoint = 1;
    r.sv = 25.0f;
    r.hiLimit = 400.0f;
    r.a1DelayTime = 125;
    return r;
}

} // namespace

TEST(RestorePreview, ListsOnlyWhatDiffersInTheWritesOrderAsWasAndBecomes) {
    const ParmRecord panel = withOnePlace();
    ParmRecord file = panel;
    EXPECT_TRUE(previewRestore(panel, heldAll(), file).changes.empty());
    EXPECT_EQ(previewRestore(panel, heldAll(), file).unchanged, int(bulkWriteOrder().size()));

    file.hiLimit = 380.5f;
    file.sv = 30.0f;
    file.a1DelayTime = 61;
    const RestorePreview p = previewRestore(panel, heldAll(), file);
    ASSERT_EQ(p.changes.size(), 3u);
    EXPECT_EQ(p.changes[0].reg, reg::setValue); // the write's order, not the record's
    EXPECT_EQ(p.changes[1].reg, reg::a1DelayTime);
    EXPECT_EQ(p.changes[2].reg, reg::hiLimit);
    EXPECT_EQ(changeLines(p), "    SV (0x0000): 25.0 \u2192 30.0\n"
                              "    Alarm 1 delay (0x0008): 2:05 \u2192 1:01\n"
                              "    Hi limit (0x0024): 400.0 \u2192 380.5\n");
    EXPECT_EQ(p.unchanged, int(bulkWriteOrder().size()) - 3);
    EXPECT_TRUE(p.unread.empty());
}

// Equal is what the controller would hold: a file written with no decimal
// place holds the same temperatures as a controller showing one, and digits
// the register cannot carry change nothing.
TEST(RestorePreview, EqualMeansTheSameValueInTheController) {
    const ParmRecord panel = withOnePlace();
    ParmRecord file = panel;
    file.sv = 25.04f; // the controller keeps 25.0 either way
    EXPECT_TRUE(previewRestore(panel, heldAll(), file).changes.empty());

    file.decimalPoint = 0;
    file.sv = 25.0f;
    file.hiLimit = 400.0f;
    RestorePreview p = previewRestore(panel, heldAll(), file);
    ASSERT_EQ(p.changes.size(), 1u);
    EXPECT_EQ(p.changes[0].reg, reg::decimalPoint);
    EXPECT_EQ(p.changes[0].was, "1");
    EXPECT_EQ(p.changes[0].becomes, "0");

    file.sv = 25.5f; // a place the file's own decimal point cannot hold
    p = previewRestore(panel, heldAll(), file);
    ASSERT_EQ(p.changes.size(), 2u);
    EXPECT_EQ(p.changes[1].was, "25.0");
    EXPECT_EQ(p.changes[1].becomes, "26");
}

// A register the controller never gave has no old value to show: it is
// named apart, never compared against the start-up zero.
TEST(RestorePreview, RegistersNeverReadAreNamedApart) {
    std::bitset<64> held = heldAll();
    held.reset(reg::pBand);
    held.reset(reg::iTime);
    ParmRecord file;
    file.pid11 = 1.0f; // differs from the unread zero, and still no change is claimed
    const RestorePreview p = previewRestore(ParmRecord{}, held, file);
    EXPECT_TRUE(p.changes.empty());
    EXPECT_EQ(p.unread, (std::vector<uint16_t>{reg::pBand, reg::iTime}));
    EXPECT_EQ(unreadNames(p), "P band (0x0011), I time (0x0012)");

    const RestorePreview none = previewRestore(ParmRecord{}, {}, file);
    EXPECT_EQ(none.unread.size(), bulkWriteOrder().size());
    EXPECT_EQ(none.unchanged, 0);
}
