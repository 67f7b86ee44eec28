#pragma once
// Which device a COM number means: --com N=DEVICE first, then the simulated
// controller when one runs, otherwise /dev/ttyS(n-1).
#include <string>

void setComDevice(int comNumber, const std::string& device);
void setSimulatedDevice(const std::string& device); // empty: no simulator
std::string comDevice(int comNumber);
void clearComMap();
