// The scan on a line whose slave answers late: a reply that comes after an
// id's short time-out carries that id's address, so it is never taken for
// the next id's answer, and the id whose turn it took is asked again. The
// late reply proves its own id there. Having seen it, the scan asks the id
// found once more, to see no request of the scan is still held, and each id
// not heard once more, awaiting its answer as long as one may come late.
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "link/line_scan.h"
#include "support/line_session.h"

namespace {

class Scan : public LineSessionTest {};

} // namespace

TEST_F(Scan, ALateReplyIsNotTakenForTheNextIdsAnswer) {
    line.setSlaveId(5);
    line.setReg(0x1F00, 0x4001); // model '@'
    line.late(0.25);             // past id 5's time-out, inside id 6's
    const std::vector<uint8_t> ids{5, 6};
    std::vector<std::string> steps;
    const ScanResult result = scanIds(link, ids, 19200, [&](const ScanStep& s) {
        steps.push_back(std::to_string(s.id) + (s.model ? " found" : " silent"));
        return true;
    });
    ASSERT_EQ(result.found.size(), 1u);
    EXPECT_EQ(result.found[0].id, 5);
    EXPECT_EQ(steps, (std::vector<std::string>{"5 silent", "5 found", "6 silent", "6 silent"}));
    std::vector<std::string> written;
    for (const std::string& t : line.timeline())
        if (t.find(" write ") != std::string::npos) written.push_back(t.substr(t.find("write")));
    EXPECT_EQ(written, (std::vector<std::string>{
                           "write 05 03 1F 00 00 01 82 5A", "write 06 03 1F 00 00 01 82 69",
                           "write 06 03 1F 00 00 01 82 69", "write 05 03 1F 00 00 01 82 5A",
                           "write 06 03 1F 00 00 01 82 69"}));
}

// Silent ids and other ids' replies say nothing about the connected
// controller: its light and its last reply stay as they were.
TEST_F(Scan, LeavesTheConnectedControllersStandingAlone) {
    line.setSlaveId(2);
    line.setReg(0x1F00, 0x4001);
    std::vector<LineEvent> events;
    const auto note = [&](LineEvent e, int) { events.push_back(e); };
    const int observer = link.addLineObserver(note);
    const int health = controller.health().addObserver(note);
    const std::vector<uint8_t> ids{3, 4, 5, 6, 2};
    const ScanResult result = scanIds(link, ids, 19200);
    link.removeLineObserver(observer);
    controller.health().removeObserver(health);
    ASSERT_EQ(result.found.size(), 1u);
    EXPECT_EQ(result.found[0].id, 2);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(controller.health().silent());
    EXPECT_FALSE(controller.health().lastReply());
}
