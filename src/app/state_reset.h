#pragma once
// Puts every piece of program state back to its start-up value.

class Controller;
void resetAllState(Controller& c);
