// A format made to fail, for showing that the mutation runner catches and names each kind of
// fault. It is in the test program's own table only, never in the runner's.
#pragma once
#include <vector>

#include "tests/fuzz/FuzzTarget.h"

enum class Fault { none, crash, escape, hang, leak };

// What the faulty reader does with an input: its 16-bit field at offset 4 holding 0x8000
// crashes, 0xFFFF lets a foreign error escape, 0x7FFF leaks a brush; an input cut to 5 bytes
// hangs.
Fault FaultOf(const FuzzBytes& input);

// A format whose reader has four steps, each one branch deeper: bytes 4, 5, 6 and 7 being 0x7F
// in turn. Its reader is traced, so the runner sees which of the steps an input reached
// (StaircaseLevel).
int StaircaseLevel(const FuzzBytes& input);
void ReadStaircase(const uint8_t* data, size_t size);
std::vector<FuzzSeed> StaircaseSeeds();

// The faulty format first, then the staircase.
const std::vector<FuzzTarget>& FaultyTargets();
