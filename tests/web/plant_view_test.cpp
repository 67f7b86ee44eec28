// The plant view coalesces: however often the bridge calls, the web
// thread is woken once and takes each changed controller once, as it is now.
// The runs the page reads come from a store opened to read: one that does
// not read is an error, and is left as it is.
#include "web/plant_view.h"
#include "web/runs_json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

TEST(PlantView, ChangesWakeTheReaderOnceAndAreTakenOncePerController) {
    PlantView plant;
    int wakes = 0;
    plant.setChangeListener([&] { ++wakes; });
    plant.state("kiln", 1, R"({"pv":1})");
    plant.state("kiln", 1, R"({"pv":2})");
    plant.available("kiln", 2, false);
    plant.polled("kiln", 1, true, 100.0); // a reply taken with the state
    EXPECT_EQ(wakes, 1);
    std::vector<ControllerView> changed = plant.takeChanged();
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].state, R"({"pv":2})");
    EXPECT_EQ(changed[0].lastReplyAt, 100.0);
    EXPECT_EQ(changed[1].online, false);
    EXPECT_TRUE(plant.takeChanged().empty());
    // A reply is pushed once it is a second newer than the one taken, so the
    // page's "last reply" is the time since the last good reply.
    plant.polled("kiln", 1, true, 100.5);
    EXPECT_EQ(wakes, 1);
    plant.polled("kiln", 1, true, 101.0);
    EXPECT_EQ(wakes, 2);
    changed = plant.takeChanged();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].lastReplyAt, 101.0);
    wakes = 1;

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

TEST(RunsJson, AStoreThatDoesNotReadIsAnErrorAndALinkedFileIsLeftAsItWas) {
    char tmpl[] = "/tmp/q7webruns.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, notes = dir + "/notes.txt", store = dir + "/runs.sqlite";
    std::ofstream(notes) << "runs, as a text\n";
    std::filesystem::create_symlink(notes, store);
    RunsJson json(store);
    const RunsAnswer runs = json.runs();
    EXPECT_EQ(runs.status, 500);
    EXPECT_EQ(runs.body,
              R"({"error":"the run store )" + store +
                  R"( is not a run store (file is not a database); it is left as it is"})");
    const auto run = json.run(1);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->status, 500);
    std::ifstream in(notes);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "runs, as a text\n");
    EXPECT_TRUE(std::filesystem::is_symlink(store));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              2);
    std::filesystem::remove_all(dir);

    // No store at all is no run yet, not an error.
    RunsJson none(dir + "/runs.sqlite");
    EXPECT_EQ(none.runs().status, 200);
    EXPECT_FALSE(none.run(1));
}

} // namespace
