// The program's list of unit start-up and end steps.
#pragma once
#include <span>

#include "toolkit/core/ModuleSteps.h"

// Every unit with start-up or end steps, in the order they start (they end in reverse).
// main runs it through TRunningModules before the first window and after the last.
std::span<const TModuleSteps> ProgramModules();
