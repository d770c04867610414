// One owner for what the tools and the tests must give back as a whole: an arena (arena_destroy) or
// a Section_Map (delete_map), released when the owner leaves its scope, on every way out (tools and
// tests throw). The module's own code releases its arenas and maps by hand, at fixed points.
#pragma once
#include "encoding/ini/ini.h"
#include "runtime/arena.h"

inline void owned_release(Arena *arena) noexcept { arena_destroy(arena); }
inline void owned_release(Section_Map *map) noexcept { delete_map(map); }

// `value` starts empty (zero-initialised) and is released with the owner; it cannot be copied.
template <class T>
struct Owned {
  T value{};

  Owned() = default;
  Owned(const Owned &) = delete;
  Owned &operator=(const Owned &) = delete;
  ~Owned() { owned_release(&value); }

  T *get() noexcept { return &value; }
  const T *get() const noexcept { return &value; }
};
