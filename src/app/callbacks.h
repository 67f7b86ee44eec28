#pragma once
// Fills the callback registry with every callback the panel files name.

class Controller;
void registerAllCallbacks(Controller& c);
