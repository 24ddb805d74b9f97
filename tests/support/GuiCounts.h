// Counts of the process's live GUI objects, for tests and the mutation runner that must show
// a piece of code gives back every GDI object and window it makes.
#pragma once
#include <string>

struct GuiCounts {
    long gdiObjects = 0;     // -1 when this system offers no way to count them
    long topLevelWindows = 0;  // this process's top-level and message-only windows
    long childWindows = 0;     // their descendants
};

// Live GDI objects of this process. Under Wine, GetGuiResources is a stub that answers 0, so
// the count is taken from the GDI handle table Wine keeps for the process (the one the process
// environment block points to); elsewhere GetGuiResources(GR_GDIOBJECTS).
long CountGdiObjects();

GuiCounts CountGuiObjects();

// Empty when after holds no more of anything than before; else a sentence naming what grew,
// e.g. "GDI objects 12 -> 112".
std::string CompareGuiCounts(const GuiCounts& before, const GuiCounts& after);

// Takes the counts when made; Check() compares the counts of now with them.
class GuiLeakCheck {
public:
    GuiLeakCheck() : before_(CountGuiObjects()) {}
    const GuiCounts& Before() const { return before_; }
    std::string Check() const { return CompareGuiCounts(before_, CountGuiObjects()); }

private:
    GuiCounts before_;
};
