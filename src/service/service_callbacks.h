#pragma once
// Registers the callbacks of this subsystem by the names the panel files use.

class Controller;
class EngCodePanel;
void registerServiceCallbacks(Controller& c, EngCodePanel& engCode);
