#pragma once
// The whole run of the program: start-up, event loop, end. Returns the exit status.

int runProgram(int argc, char** argv);
