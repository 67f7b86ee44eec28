#include "app/panels_controller.h"

namespace {

struct Owned {
    Line line;
    Controller controller{line};
};

Owned& owned() {
    static Owned o;
    return o;
}

} // namespace

Line& panelsLine() {
    return owned().line;
}

Controller& panelsController() {
    return owned().controller;
}
