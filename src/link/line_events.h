#pragma once
// What happens to the line, told to whoever listens (the connection light and
// notices, the reconnect, the traffic monitor), never to a panel directly.
#include <functional>

enum class LineEvent {
    connected,    // the probe was answered by a controller of a known model
    disconnected, // the probe failed, or the port was closed
    lost,         // the port's device went away (unplugged, failed)
    reconnected,  // the same device came back and the controller answers again
    silent,       // several requests in a row got no byte back
    answering,    // a reply came again after silence
};

using LineObserver = std::function<void(LineEvent event, int comPort)>;
