#pragma once
// Each headless command: the line options and the words after the command's
// name; returns the exit status (exit_status.h).
#include "cli/headless.h"

#include <string>
#include <vector>

using Words = std::vector<std::string>;

int helpCommand(const HeadlessOptions& options, const Words& words);
int portsCommand(const HeadlessOptions& options, const Words& words);
int scanCommand(const HeadlessOptions& options, const Words& words);
int probeCommand(const HeadlessOptions& options, const Words& words);
int readCommand(const HeadlessOptions& options, const Words& words);
int backupCommand(const HeadlessOptions& options, const Words& words);
int restoreCommand(const HeadlessOptions& options, const Words& words);
int getCommand(const HeadlessOptions& options, const Words& words);
int setCommand(const HeadlessOptions& options, const Words& words);
int programCommand(const HeadlessOptions& options, const Words& words);
int pidCommand(const HeadlessOptions& options, const Words& words);
int watchCommand(const HeadlessOptions& options, const Words& words);
int programsCommand(const HeadlessOptions& options, const Words& words);
int runCommand(const HeadlessOptions& options, const Words& words);
int runsCommand(const HeadlessOptions& options, const Words& words);
int calibrationCommand(const HeadlessOptions& options, const Words& words);
int alarmsCommand(const HeadlessOptions& options, const Words& words);
