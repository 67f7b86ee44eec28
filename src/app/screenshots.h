#pragma once
#include <string>
#include <vector>

// Saves a picture of every visible panel into dir; returns the files written.
std::vector<std::string> saveVisiblePanels(const std::string& dir);
