#include "toolkit/core/ModuleSteps.h"

TRunningModules::TRunningModules(std::span<const TModuleSteps> steps) : steps_(steps)
{
    try {
        for (const TModuleSteps& step : steps_) {
            if (step.startup)
                step.startup();
            ++started_;
        }
    } catch (...) {
        EndStarted();
        throw;
    }
}

TRunningModules::~TRunningModules()
{
    EndStarted();
}

void TRunningModules::EndStarted()
{
    // An end step that fails must not keep the others from running: the process is ending.
    while (started_ > 0) {
        const TModuleSteps& step = steps_[--started_];
        try {
            if (step.shutdown)
                step.shutdown();
        } catch (...) {
        }
    }
}
