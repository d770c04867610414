// What the probe module (probe.cpp) does, for the tests that check it.
#pragma once
#include <cstdint>

// Hashes the game does not know: the host must report them and answer zeros.
constexpr uint64_t PROBE_CLOCK = 0x50524F4245000001;     // one argument: the system time read
constexpr uint64_t PROBE_OVERFLOW = 0x50524F4245000002;  // pushed PROBE_OVERFLOW_PUSHES words
constexpr uint64_t PROBE_AT_LOAD = 0x50524F4245000003;   // called from DllMain, outside a script
constexpr uint64_t PROBE_OVERFLOW_PUSHES = 40;
constexpr uint32_t PROBE_WAIT_MS = 100;
