#pragma once
// Registers the callbacks of this subsystem by the names the panel files use.

struct StepProgramView;
void registerProgramCallbacks(StepProgramView& view);
