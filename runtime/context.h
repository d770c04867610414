// The module's runtime context: the frame scratch and the log sink, made by `setup`.
#pragma once
#include "runtime/arena.h"

struct Runtime_Context {
  Arena frame_scratch;
};

// Plain data, zero at load; nothing runs before the DLL entry.
extern Runtime_Context runtime_context;

// The default context: an empty frame scratch (its first block comes with the first push) and no
// log sink. Releases anything an earlier context held.
void runtime_context_create() noexcept;

// The runtime's shut-down: gives the frame scratch's blocks back to the heap and removes any log
// sink. The context is as at load afterwards.
void runtime_context_destroy() noexcept;

inline Arena *frame_scratch() noexcept { return &runtime_context.frame_scratch; }
