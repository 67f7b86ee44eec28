#pragma once
// Registers the callbacks of connection, exit, the line status report and
// the alarm poll.

struct Connection;
void registerConnectionCallbacks(Connection& connection);
