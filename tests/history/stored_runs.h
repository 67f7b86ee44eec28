#pragma once
// Runs built into a real runs.sqlite with known answers, through the store's
// own API: the figures, the commands and the Runs panel are tested on them.
#include "runs/run_store.h"

#include <memory>
#include <optional>
#include <string>

namespace storedruns {

// 20 to 80 at 60/h and 10 minutes' hold, to 140 at 60/h, then full to 200
// and 10 minutes' hold: 4200, 3600 and 600 s.
inline constexpr const char* kProgram = "[program]\nname = Bisque\nunit = C\nstart = 20\n"
                                        "holdback = 5\nend = off\n[segments]\n"
                                        "60 80 0:10\n60 140 0:00\nfull 200 0:10\n";
inline constexpr double kT0 = 1'800'000'000; // 2027-01-15T08:00:00Z
inline constexpr double kWait = 6000;        // where on the plan segment 2 waits

// The store at path, made when there is none; null, the test failed, when
// it cannot be.
std::unique_ptr<RunStore> openStore(const std::string& path);

// kProgram under another name.
std::string programNamed(const std::string& name);

// A completed run of two zones sampled every minute (waits are whole
// minutes), PV on the plan but while the plan waits `held` seconds at
// 6000 s in segment 2, PV 6 below it there; or one stopped at stopAt.
// The output is 50 % on zone 1 and 51 % on zone 2 throughout. programText
// is kProgram's plan, under any name and with any other keys. With
// controllers, their zones show that unit and the samples are in it.
long long addRun(RunStore& s, double start, double held,
                 std::optional<double> stopAt = std::nullopt,
                 const std::string& programText = kProgram,
                 std::optional<TemperatureUnit> controllers = std::nullopt);

} // namespace storedruns
