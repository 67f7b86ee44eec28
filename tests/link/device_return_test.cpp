// A line whose device went away is opened again only when what its name
// leads to now may be that device: an adapter's node may be; a
// pseudo-terminal's number, or a link still pointing at it, may by now be
// another program's terminal.
#include "serial/serial_service.h"
#include "sim/sim_controller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

std::unique_ptr<sim::SimController> startedSim() {
    auto sim = std::make_unique<sim::SimController>(sim::SimOptions{});
    EXPECT_TRUE(sim->start());
    return sim;
}

// Points `link` at `target` by a new link renamed over the old, as udev does.
void pointLink(const std::string& link, const std::string& target) {
    const std::string fresh = link + ".new";
    ASSERT_EQ(symlink(target.c_str(), fresh.c_str()), 0);
    ASSERT_EQ(std::rename(fresh.c_str(), link.c_str()), 0);
}

} // namespace

TEST(DeviceReturn, APseudoTerminalComesBackOnlyThroughALinkMadeAnew) {
    const std::string dir = testing::TempDir() + "device_return_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string link = dir + "/line";

    auto first = startedSim();
    pointLink(link, first->devicePath());
    ComPort port;
    ASSERT_EQ(port.open(1, link, 19200, 0, 8, 2), 0);
    const std::string number = first->devicePath();
    first.reset();
    port.close(); // as the line does once it finds its device gone
    // The next terminal most often takes the number that was freed: the
    // link, unchanged, leads to it, and it is not ours.
    auto other = startedSim();
    EXPECT_FALSE(port.mayOpenAgain()) << number << " then " << other->devicePath();
    EXPECT_NE(port.notOpenedAgainWhy().find(link + " (" + number + ") was a pseudo-terminal"),
              std::string::npos)
        << port.notOpenedAgainWhy();
    pointLink(link, other->devicePath());
    EXPECT_TRUE(port.mayOpenAgain());
    // A port on the link now opens the new terminal, even while another
    // still holds the old one without having noticed it went.
    ComPort held, again;
    auto gone = startedSim();
    pointLink(link, gone->devicePath());
    ASSERT_EQ(held.open(3, link, 19200, 0, 8, 2), 0);
    gone.reset();
    pointLink(link, other->devicePath());
    EXPECT_EQ(again.open(4, link, 19200, 0, 8, 2), 0) << again.openError();
    EXPECT_NE(again.connection(), held.connection());

    // Named by its number alone, a terminal never comes back.
    ComPort direct;
    ASSERT_EQ(direct.open(2, other->devicePath(), 19200, 0, 8, 2), 0);
    other.reset();
    direct.close();
    auto third = startedSim();
    EXPECT_FALSE(direct.mayOpenAgain());
    std::filesystem::remove_all(dir);
}
