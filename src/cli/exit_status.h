#pragma once
// How a headless command ends, for the scripts that run it.
namespace exitstatus {

inline constexpr int ok = 0;
// The controller refused something or did not confirm it.
inline constexpr int notConfirmed = 1;
// The command line or a file is wrong; no write reached the controller.
inline constexpr int usage = 2;
// The port does not open, or the controller does not answer.
inline constexpr int noController = 3;
// Stopped by a signal between two registers: 128 plus its number (130 for
// SIGINT, 143 for SIGTERM), as a shell reports it.
inline constexpr int signalBase = 128;

} // namespace exitstatus
