#include "web/own_thread.h"

namespace {

// QCoreApplication keeps a reference to these for its lifetime.
int appArgc = 1;
char appName[] = "q7";
char* appArgv[] = {appName, nullptr};

} // namespace

std::unique_ptr<QCoreApplication> coreApplicationIfNone() {
    if (QCoreApplication::instance()) return nullptr;
    return std::make_unique<QCoreApplication>(appArgc, appArgv);
}
