#pragma once
// The line the panels' program talks over and the controller on it: owned
// here, for the program's life, and handed to every panel's callbacks and
// watchers as they are registered. Nothing below the app reaches them but
// through what it was handed.
#include "link/controller.h"
#include "link/line.h"

Line& panelsLine();
Controller& panelsController();
