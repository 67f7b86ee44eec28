#pragma once
// One simulated controller behind its slave id: the registers it holds and
// the process and step program that move them. Several share one line.
#include "sim/alarm_outputs.h"
#include "sim/process_model.h"
#include "sim/program_runner.h"
#include "sim/register_map.h"
#include "sim/setpoint_ramp.h"

#include <cstdint>

namespace sim {

struct SimUnit {
    SimUnit(uint8_t slaveId, char variant, Process process = Process::bench())
        : id(slaveId), registers(variant), model(process) {}

    void advance(double seconds) {
        // The program picks the set point first and the ramp moves toward
        // it, so the model follows where the ramp stands.
        program.advance(seconds, registers);
        ramp.advance(seconds, registers);
        model.advance(seconds, registers);
        alarms.update(registers);
    }

    void set(uint16_t address, uint16_t value) {
        // Forcing PV moves the process itself, so the value sticks and evolves from there.
        if (address == regs::kPv)
            model.setTemperature(double(int16_t(value)) - registers.getSigned(regs::kPvOffset));
        registers.set(address, value);
    }

    uint8_t id;
    bool answering = true; // false: switched off, silent like an absent id
    RegisterMap registers;
    ProcessModel model;
    ProgramRunner program;
    SetpointRamp ramp;
    AlarmOutputs alarms;
};

} // namespace sim
