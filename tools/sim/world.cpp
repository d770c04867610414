// The natives of the simulated game (every one of its interface, tools/game); see world.h.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "tools/game/game_interface.h"
#include "tools/sim/world.h"
#include "tools/standin-host/standin.h"

namespace {

constexpr size_t MAX_TEXT_BYTES = 4096;

constexpr DWORD READABLE_PAGES = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                 PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD WRITABLE_PAGES = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Whether [address, address + size) is committed memory with one of `protections`: a module that
// pushes a bad address gets a reported problem, not a crashed game.
bool memory_has(uint64_t address, size_t size, DWORD protections) {
  while (size > 0) {
    MEMORY_BASIC_INFORMATION info{};
    const void *at = reinterpret_cast<const void *>(static_cast<uintptr_t>(address));
    if (address == 0 || VirtualQuery(at, &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || (info.Protect & PAGE_GUARD) || !(info.Protect & protections)) return false;
    uint64_t region_end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    uint64_t step = region_end - address < size ? region_end - address : size;
    address += step;
    size -= static_cast<size_t>(step);
  }
  return true;
}


struct Call_View {
  World *world;
  const Standin_Call *call;
  const char *name;
  bool ok = true;

  // The word at `i`, which must hold a 32-bit value in both halves.
  uint32_t u32(int32_t i) {
    uint64_t word = call->args[i];
    if ((word >> 32) != (word & 0xFFFFFFFF) && ok) {
      report("argument %d is 0x%016" PRIx64 ", not a 32-bit value pushed as (pattern << 32) | pattern", i + 1, word);
    }
    return static_cast<uint32_t>(word);
  }
  int32_t i32(int32_t i) { return static_cast<int32_t>(u32(i)); }
  float f32(int32_t i) {
    uint32_t bits = u32(i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // Writes a 32-bit out-variable through the address pushed at `i`.
  void out32(int32_t i, uint32_t value) {
    uint64_t address = call->args[i];
    if (!memory_has(address, sizeof value, WRITABLE_PAGES)) {
      report("argument %d, 0x%016" PRIx64 ", is not the address of a writable 32-bit variable", i + 1, address);
      return;
    }
    std::memcpy(reinterpret_cast<void *>(static_cast<uintptr_t>(address)), &value, sizeof value);
  }
  // The NUL-terminated string at the address pushed at `i`.
  std::string text(int32_t i) {
    uint64_t address = call->args[i];
    std::string out;
    for (size_t n = 0; n < MAX_TEXT_BYTES; n++) {
      if (!memory_has(address + n, 1, READABLE_PAGES)) {
        report("argument %d, 0x%016" PRIx64 ", is not the address of a readable string", i + 1, address);
        return out;
      }
      char c = *reinterpret_cast<const char *>(static_cast<uintptr_t>(address + n));
      if (c == '\0') return out;
      out.push_back(c);
    }
    report("argument %d: string longer than %d bytes", i + 1, static_cast<int>(MAX_TEXT_BYTES));
    return out;
  }
  bool arity(int32_t expected) {
    if (call->arg_count == expected) return true;
    report("called with %d arguments, expects %d: ignored", call->arg_count, expected);
    return false;
  }
  template <typename... Args>
  void report(const char *format_text, Args... args) {
    char text[256];
    int n = std::snprintf(text, sizeof text, "%s: ", name);
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), format_text, args...);
    world->problems.push_back(text);
    ok = false;
  }
};

World *world_of(void *context) { return static_cast<World *>(context); }

Call_View view(void *context, const Standin_Call *call) {
  const Game_Native *native = game_native(call->hash);
  return Call_View{world_of(context), call, native ? native->name : "unknown"};
}

Component_Spec *component_at(World *world, uint64_t ped, int32_t index) {
  if (ped != world->ped || index < 0 || static_cast<size_t>(index) >= world->components.size()) return nullptr;
  return &world->components[static_cast<size_t>(index)];
}

void native_get_player_ped(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (v.arity(0)) call->result[0] = v.world->ped;
}

void native_get_entity_model(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(1)) return;
  call->result[0] = call->args[0] == v.world->ped ? v.world->model : 0;
}

void native_get_num_components(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(1) || call->args[0] != v.world->ped) return;
  call->result[0] = static_cast<uint32_t>(v.world->components.size());
}

void native_get_component_category(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(3)) return;
  int32_t index = v.i32(1);
  if (call->args[2] != 0) v.report("argument 3 is 0x%016" PRIx64 ", expected a 64-bit 0", call->args[2]);
  if (Component_Spec *c = component_at(v.world, call->args[0], index)) call->result[0] = c->category;
}

void native_get_component_tint(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(6)) return;
  Component_Spec *c = component_at(v.world, call->args[0], v.i32(1));
  if (!c) return;
  v.out32(2, c->palette);
  for (int i = 0; i < 3; i++) v.out32(3 + i, static_cast<uint32_t>(c->tints[i]));
  call->result[0] = 1;
}

void native_get_component_assets(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(6)) return;
  Component_Spec *c = component_at(v.world, call->args[0], v.i32(1));
  if (!c) return;
  for (int i = 0; i < 4; i++) v.out32(2 + i, c->assets[i]);
  call->result[0] = 1;
}

void native_set_component_tint(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(9)) return;
  uint32_t assets[4];
  for (int i = 0; i < 4; i++) assets[i] = v.u32(1 + i);
  uint32_t palette = v.u32(5);
  int32_t tints[3] = {v.i32(6), v.i32(7), v.i32(8)};
  if (call->args[0] != v.world->ped) {
    v.report("unknown ped 0x%016" PRIx64 ": ignored", call->args[0]);
    return;
  }
  for (Component_Spec &c : v.world->components) {
    if (std::memcmp(c.assets, assets, sizeof assets) != 0) continue;
    Retint r{c.name, c.palette, palette, {c.tints[0], c.tints[1], c.tints[2]}, {tints[0], tints[1], tints[2]}};
    v.world->retints.push_back(r);
    c.palette = palette;
    std::memcpy(c.tints, tints, sizeof tints);
    return;
  }
  v.report("no component with the assets 0x%x 0x%x 0x%x 0x%x: ignored", assets[0], assets[1], assets[2], assets[3]);
}

void native_refresh_ped_variation(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(6)) return;
  for (int i = 1; i < 6; i++) {
    if (v.u32(i) > 1) v.report("argument %d is not a truth value", i + 1);
  }
  if (call->args[0] != v.world->ped) {
    v.report("unknown ped 0x%016" PRIx64 ": ignored", call->args[0]);
    return;
  }
  v.world->refresh_count++;
}

void native_set_text_scale(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(2)) return;
  v.world->text_scale[0] = v.f32(0);
  v.world->text_scale[1] = v.f32(1);
}

void native_set_text_color(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(4)) return;
  for (int i = 0; i < 4; i++) v.world->text_color[i] = v.i32(i);
}

// The first string names the kind of text ("LITERAL_STRING"); the text shown is the rest, joined.
void native_make_text_string(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (call->arg_count < 2) {
    v.report("called with %d arguments, expects an integer and at least one string", call->arg_count);
    return;
  }
  v.i32(0);
  std::string shown;
  for (int32_t i = 2; i < call->arg_count; i++) shown += v.text(i);
  if (call->arg_count == 2) shown = v.text(1);
  v.world->texts.push_back(shown);
  call->result[0] = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(v.world->texts.back().c_str()));
}

void native_display_text(void *context, const Standin_Call *call) {
  Call_View v = view(context, call);
  if (!v.arity(3)) return;
  float x = v.f32(1), y = v.f32(2);
  for (const std::string &text : v.world->texts) {
    if (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(text.c_str())) != call->args[0]) continue;
    Drawn_Text d{text, {v.world->text_scale[0], v.world->text_scale[1]}, {}, {x, y}};
    std::memcpy(d.color, v.world->text_color, sizeof d.color);
    v.world->drawn.push_back(d);
    return;
  }
  v.report("0x%016" PRIx64 " is no text made by make_text_string this frame: nothing drawn", call->args[0]);
}

struct Native_Entry {
  uint64_t hash;
  Native_Effect effect;
  Standin_Native_Handler handler;
};

constexpr Native_Entry WORLD_NATIVES[] = {
    {GAME_NATIVE_GET_PLAYER_PED, Native_Effect::reads_only, native_get_player_ped},
    {GAME_NATIVE_GET_ENTITY_MODEL, Native_Effect::reads_only, native_get_entity_model},
    {GAME_NATIVE_GET_NUM_COMPONENTS, Native_Effect::reads_only, native_get_num_components},
    {GAME_NATIVE_GET_COMPONENT_CATEGORY, Native_Effect::reads_only, native_get_component_category},
    {GAME_NATIVE_GET_COMPONENT_TINT, Native_Effect::reads_only, native_get_component_tint},
    {GAME_NATIVE_GET_COMPONENT_ASSETS, Native_Effect::reads_only, native_get_component_assets},
    {GAME_NATIVE_SET_COMPONENT_TINT, Native_Effect::changes_game, native_set_component_tint},
    {GAME_NATIVE_REFRESH_PED_VARIATION, Native_Effect::changes_game, native_refresh_ped_variation},
    {GAME_NATIVE_SET_TEXT_SCALE, Native_Effect::changes_game, native_set_text_scale},
    {GAME_NATIVE_SET_TEXT_COLOR, Native_Effect::changes_game, native_set_text_color},
    {GAME_NATIVE_MAKE_TEXT_STRING, Native_Effect::changes_game, native_make_text_string},
    {GAME_NATIVE_DISPLAY_TEXT, Native_Effect::changes_game, native_display_text},
};
static_assert(sizeof WORLD_NATIVES / sizeof WORLD_NATIVES[0] == GAME_NATIVE_COUNT, "every native of the game");

}  // namespace

Native_Effect world_native_effect(uint64_t hash) {
  for (const Native_Entry &entry : WORLD_NATIVES) {
    if (entry.hash == hash) return entry.effect;
  }
  return Native_Effect::changes_game;
}

World world_from_scenario(const Scenario &scenario) {
  World world{};
  world.ped = scenario.ped;
  world.model = scenario.model;
  world.components = scenario.components;
  return world;
}

void world_register_natives(World *world) {
  for (const Native_Entry &entry : WORLD_NATIVES) standin_set_native_handler(entry.hash, entry.handler, world);
}

void world_begin_frame(World *world) {
  world->texts.clear();
  world->retints.clear();
  world->drawn.clear();
  world->problems.clear();
}

Component_Spec *world_component(World *world, const std::string &name) {
  for (Component_Spec &c : world->components) {
    if (c.name == name) return &c;
  }
  return nullptr;
}
