#pragma once
// The session's state, for the link's own files only: everybody else goes
// through ControllerSession.
#include "link/awaited_replies.h"
#include "link/retry_policy.h"

#include <array>
#include <atomic>
#include <cstdint>

struct SessionState {
    std::atomic<uint16_t> controllerId{1};
    std::atomic<uint16_t> comPort{0};
    // Kept wider than the 16 bits the line settings file historically held:
    // 57600 and 115200 must survive a save and a restore.
    std::atomic<int32_t> baudRate{19200};
    // The character frame besides 8 data bits: parity 0 none, 1 odd, 2 even.
    std::atomic<int32_t> parity{0};
    std::atomic<int32_t> stopBits{2};
    std::atomic<bool> linkUp{false};
    // The connected port's device went away; cleared when a port opens again.
    std::atomic<bool> lineLost{false};
    std::atomic<int32_t> portStatus{0};
    std::atomic<uint16_t> controllerVariant{0};
    std::atomic<int32_t> comBusy{0};
    std::array<uint8_t, 8> writeEcho{};
    // Requests that got no whole answer: it may still be on its way and land
    // inside a later exchange's read, ahead of that one's own reply.
    AwaitedReplies awaited;
    // The last exchange got no whole answer.
    bool answerMayBeLate = false;
    // Exchanges in a row that got no byte back, whoever made them.
    retry::SilenceCount silence;
    // The count reached its limit; kept apart so other threads may read it.
    std::atomic<bool> silent{false};
    // The line clock's ticks when our controller last answered; 0: never.
    std::atomic<int64_t> lastReplyTicks{0};
    // Another controller than ours is addressed (controller_visit.h).
    bool visiting = false;
    // Its id, while the requests go to it; 0 otherwise. Our controllerId
    // stays as it is: the status line and DftCom.prm read it at any time.
    std::atomic<uint16_t> visitedId{0};
};

SessionState& sessionState();

// The id a request goes to: the visited controller's, else ours.
inline uint16_t addressedId() {
    const uint16_t visited = sessionState().visitedId;
    return visited != 0 ? visited : uint16_t(sessionState().controllerId);
}
