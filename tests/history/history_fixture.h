#pragma once
// The history's command tests: a folder of their own with a real
// runs.sqlite, filled with the runs of stored_runs.h, that the commands
// read as a user runs them.
#include "cli/cli_run.h"
#include "history/stored_runs.h"

using namespace cli;
using namespace storedruns;

class History : public CliTest {
  protected:
    std::unique_ptr<RunStore> store() { return openStore(path(kRunStoreFile)); }
};
