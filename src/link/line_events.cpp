#include "link/line_events.h"

#include "link/line.h"

int addLineObserver(LineObserver observer) {
    return session().addLineObserver(std::move(observer));
}

void removeLineObserver(int handle) {
    session().removeLineObserver(handle);
}

void reportLineEvent(LineEvent event, int comPort) {
    session().reportLineEvent(event, comPort);
}
