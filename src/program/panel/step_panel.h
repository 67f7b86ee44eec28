#pragma once
// Moving a step program between the step program panel and memory, and the
// step-chain rule that dims the steps a program never reaches.
#include "program/step_program.h"

class Controller;

ScriptStep readStep(int step);
StepProgram readProgramFromPanel();
void showStep(int step, const ScriptStep& values);

// The rule applied after a load, step by step from the first: only dimming
// changes, values stay as loaded. Every row after an ending step is dimmed.
void applyChainRule(int step, uint16_t action);
// The rule applied when the operator commits an action: an ending action also
// turns every later action into an end, so the chain reads consistently.
void applyChainCascade();

// Lights segment (0-15) alone; -1 clears all sixteen.
void showRunningSegment(int segment);
