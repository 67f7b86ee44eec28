// The plant view coalesces: however often the bridge calls, the web
// thread is woken once and takes each changed controller once, as it is now.
#include "web/plant_view.h"

#include <gtest/gtest.h>

namespace {

TEST(PlantView, ChangesWakeTheReaderOnceAndAreTakenOncePerController) {
    PlantView plant;
    int wakes = 0;
    plant.setChangeListener([&] { ++wakes; });
    plant.state("kiln", 1, R"({"pv":1})");
    plant.state("kiln", 1, R"({"pv":2})");
    plant.available("kiln", 2, false);
    plant.polled("kiln", 1, true, 100.0); // a poll alone is no change to push
    EXPECT_EQ(wakes, 1);
    std::vector<ControllerView> changed = plant.takeChanged();
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].state, R"({"pv":2})");
    EXPECT_EQ(changed[0].lastReplyAt, 100.0);
    EXPECT_EQ(changed[1].online, false);
    EXPECT_TRUE(plant.takeChanged().empty());

    // The same state again (a republish) is no change; a removal is one.
    plant.state("kiln", 1, R"({"pv":2})");
    EXPECT_EQ(wakes, 1);
    plant.removed("kiln", 2);
    EXPECT_EQ(wakes, 2);
    changed = plant.takeChanged();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_TRUE(changed[0].removed);
    EXPECT_EQ(plant.controllers().size(), 1u);

    plant.setChangeListener({});
    plant.state("kiln", 1, R"({"pv":3})");
    EXPECT_EQ(wakes, 2);
}

} // namespace
