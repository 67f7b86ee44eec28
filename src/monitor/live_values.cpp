#include "monitor/live_values.h"

LiveState gLive;

void resetMonitorState() {
    gLive = LiveState{};
}
