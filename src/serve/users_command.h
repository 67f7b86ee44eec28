#pragma once
// `q7 users --file FILE add NAME ROLE | remove NAME | passwd NAME | list`:
// the web view's users file. A password is read from the terminal (twice,
// not echoed) or from the first line of stdin, never from the command
// line, where other users' `ps` would see it; list shows names and roles,
// never a hash.
#include "cli/headless.h"

int runUsers(const HeadlessOptions& options);
