#pragma once
// Registers the callbacks of connection, exit and the line status report, and
// shows the line's events on the main panel.

class Controller;
void registerConnectionCallbacks(Controller& c);
