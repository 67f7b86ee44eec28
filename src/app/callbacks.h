#pragma once
// Fills the callback registry with every callback the panel files name.
void registerAllCallbacks();
