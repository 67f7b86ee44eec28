#pragma once
// What the operator sees of the line: the connection light follows the
// session's line events, and a lost line leaves a notice that does not wait
// for a click (reconnecting must not depend on one).

class Controller;
void showLineEventsOnPanels(Controller& c);
