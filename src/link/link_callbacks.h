#pragma once
// Registers the callbacks of connection, exit and the line status report.
void registerLinkCallbacks();
