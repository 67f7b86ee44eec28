#include "runtime/com_map.h"

#include <map>
#include <mutex>

namespace {
std::mutex mapMutex;
std::map<int, std::string> explicitDevices;
std::string simulatedDevice;
} // namespace

void setComDevice(int comNumber, const std::string& device) {
    std::lock_guard lock(mapMutex);
    explicitDevices[comNumber] = device;
}

void setSimulatedDevice(const std::string& device) {
    std::lock_guard lock(mapMutex);
    simulatedDevice = device;
}

std::string comDevice(int comNumber) {
    std::lock_guard lock(mapMutex);
    if (auto it = explicitDevices.find(comNumber); it != explicitDevices.end()) return it->second;
    if (!simulatedDevice.empty()) return simulatedDevice;
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

void clearComMap() {
    std::lock_guard lock(mapMutex);
    explicitDevices.clear();
    simulatedDevice.clear();
}
