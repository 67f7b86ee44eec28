#include "link/frame_observers.h"

#include "link/line.h"

int addFrameObserver(FrameObserver observer) {
    return session().addFrameObserver(std::move(observer));
}

void removeFrameObserver(int handle) {
    session().removeFrameObserver(handle);
}

int addSendObserver(FrameObserver observer) {
    return session().addSendObserver(std::move(observer));
}

void removeSendObserver(int handle) {
    session().removeSendObserver(handle);
}

bool anyFrameObserver() {
    return session().anyFrameObserver();
}
