// The module's exports and its entry glue: what setup hands out, and the order of attach and detach.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/attach.h"
#include "runtime/arena.h"
#include "runtime/arena.h"
#include "src/script/exports.h"
#include "src/script/frame.h"

namespace {

void sentinel_script() {}

TEST(Setup, WritesOneEntryPointWithinCapacity) {
  for (int32_t cap : {1, 64}) {
    Script_Entry_Point slots[64];
    for (auto &slot : slots) slot = sentinel_script;
    EXPECT_EQ(setup(slots, cap), 1) << "capacity " << cap;
    EXPECT_EQ(slots[0], script_main) << "capacity " << cap;
    // The caller's array is not cleared: slots past the count are left as they were.
    for (int i = 1; i < 64; i++) ASSERT_EQ(slots[i], sentinel_script) << "slot " << i << ", capacity " << cap;
  }
}

TEST(SetupDeathTest, CapacityBelowOneStopsWithAssertion) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Script_Entry_Point slot = sentinel_script;
  EXPECT_DEATH(setup(&slot, 0), "runtime assertion: len\\(scripts\\) <= scripts_cap");
}

// A host that records what reaches it, and checks the slots are filled before any registration.
std::vector<std::string> events;
Host_Module registered_module;
Script_Entry_Point registered_entry;

void host_wait(Host_Dword) {}
void host_init(Host_Uint64) {}
void host_push(Host_Uint64) {}
Host_Uint64 *host_call() { return nullptr; }

void host_register(Host_Module module, Script_Entry_Point entry) {
  bool filled = host_functions.script_wait == host_wait && host_functions.native_init == host_init &&
                host_functions.native_push64 == host_push && host_functions.native_call == host_call;
  events.push_back(filled ? "register(slots filled)" : "register(slots EMPTY)");
  registered_module = module;
  registered_entry = entry;
}
void host_unregister(Host_Module module) {
  events.push_back("unregister");
  registered_module = module;
}

int32_t recording_setup(Script_Entry_Point *out, int32_t cap) noexcept {
  events.push_back("setup");
  return setup(out, cap);
}
void recording_cleanup() noexcept { events.push_back("cleanup"); }

constexpr Host_Exports HOST = {host_register, host_unregister, host_wait, host_init, host_push, host_call};
constexpr Module_Exports RECORDING = {recording_setup, recording_cleanup};

TEST(ModuleEntry, AttachFillsSlotsThenRegistersTheOneScript) {
  events.clear();
  host_functions = {};
  const Host_Module module = reinterpret_cast<Host_Module>(uintptr_t{0x7FF612340000});
  module_attach(module, HOST, RECORDING);
  EXPECT_EQ(events, (std::vector<std::string>{"setup", "register(slots filled)"}));
  EXPECT_EQ(registered_module, module);
  EXPECT_EQ(registered_entry, script_main);
}

TEST(ModuleEntry, DetachCallsCleanupThenUnregisters) {
  struct Row {
    const char *fault;
    Module_Detach why;
    std::vector<std::string> want;
    size_t want_scratch_blocks;
  } rows[] = {
      {"an unload that left the scripts registered, or the scratch's memory behind", Module_Detach::unload,
       {"cleanup", "unregister"}, 0},
      // The host may already be gone when the process ends: calling it could crash the game as it closes.
      {"a host call at process exit", Module_Detach::process_exit, {"cleanup"}, 1},
  };
  for (const Row &row : rows) {
    events.clear();
    registered_module = nullptr;
    const Host_Module module = reinterpret_cast<Host_Module>(uintptr_t{0x7FF612340000});
    ASSERT_NE(arena_push(frame_scratch(), 16), nullptr);  // the scratch holds its first block, as after a frame
    module_detach(module, HOST, row.why, RECORDING);
    EXPECT_EQ(events, row.want) << row.fault;
    EXPECT_EQ(registered_module, row.why == Module_Detach::unload ? module : nullptr) << row.fault;
    EXPECT_EQ(arena_block_count(frame_scratch()), row.want_scratch_blocks) << row.fault;
    arena_release(frame_scratch());
  }
}

}  // namespace
