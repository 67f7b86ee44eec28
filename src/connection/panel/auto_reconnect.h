#pragma once
// Reconnecting by itself. When the connected port's device goes away and
// comes back under the same name (an adapter's by-id name, or the device
// --com gave), or a gateway that dropped the connection takes one again,
// the port is opened again through the usual connection, the controller
// probed, and polling goes on without a click.
//
// In: line events (lost) and word that devices changed. Out: a line on
// stderr and the `reconnected` line event.

class Controller;
void enableAutoReconnect(Controller& c);
void disableAutoReconnect(Controller& c);
// Devices came or went; any thread.
void portsChanged(Controller& c);
