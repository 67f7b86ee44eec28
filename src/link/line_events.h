#pragma once
// What happens to the line, told to whoever listens (the reconnect, and the
// status line and traffic monitor once they exist), never to a panel.
#include <functional>

enum class LineEvent {
    lost,        // the port's device went away (unplugged, failed)
    reconnected, // the same device came back and the controller answers again
};

using LineObserver = std::function<void(LineEvent event, int comPort)>;

// Returns a handle for removeLineObserver.
int addLineObserver(LineObserver observer);
void removeLineObserver(int handle);
// Calls every observer in the order they were added, on the calling thread.
void reportLineEvent(LineEvent event, int comPort);
