#pragma once
// Whether a device that went away can come back as the same line under its
// name. An adapter's node, and even more its by-id link, names that adapter;
// a pseudo-terminal's number goes to whichever terminal opens next, so one
// coming back under the same name says nothing about being the same line.
#include <string>

bool comesBackUnderItsName(const std::string& device);
