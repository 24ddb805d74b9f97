// Start-up and end steps of the units that have them, run from one explicit ordered list.
//
// Some units must do something once before the first window (register their picture
// formats, build a shared palette) and undo it after the last. C++ leaves the order of
// static initialisers across files open, so no unit does this on its own: the program keeps
// one list of steps and runs it at the top of its main function, through TRunningModules.
#pragma once
#include <span>

struct TModuleSteps {
    const wchar_t* name;
    void (*startup)();   // may be null
    void (*shutdown)();  // may be null
};

// Runs the start-up steps in list order on construction and the end steps of those started,
// in the reverse order, on destruction. When a start-up step raises, the steps already
// started are ended and the error goes on to the caller.
class TRunningModules {
public:
    explicit TRunningModules(std::span<const TModuleSteps> steps);
    ~TRunningModules();
    TRunningModules(const TRunningModules&) = delete;
    TRunningModules& operator=(const TRunningModules&) = delete;

private:
    void EndStarted();

    std::span<const TModuleSteps> steps_;
    size_t started_ = 0;
};
