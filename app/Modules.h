// The program's list of unit start-up and end steps.
#pragma once
#include <span>

#include "toolkit/core/ModuleSteps.h"

// The updater's units with start-up or end steps, in the order they start (they end in
// reverse). main runs it through TRunningModules before the first window and after the last.
// The JPEG picture formats are not among them: the updater's one picture is a bitmap, and
// their steps alone would link the whole JPEG decoder into it.
std::span<const TModuleSteps> ProgramModules();

// Every unit of the toolkit and the image library with steps, JPEG included, in the same
// order: for the tests, the mutation runner and the long loops, which use the whole library.
std::span<const TModuleSteps> LibraryModules();

// The layouts' face, picked from the Japanese Windows fonts and then those that a Windows
// without its optional Japanese fonts still has. The first step of both lists.
void ChooseLayoutFont();
inline constexpr TModuleSteps kLayoutFontSteps{L"LayoutFont", &ChooseLayoutFont, nullptr};
