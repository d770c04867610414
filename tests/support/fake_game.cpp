// The in-process fake game; see fake_game.h.
#include "tests/support/fake_game.h"

#include <cstring>

#include "host/host_functions.h"
#include "host/natives.h"

namespace {

Fake_Game *fake_current;

uint32_t fake_u32(uint64_t word) { return static_cast<uint32_t>(word); }

int32_t fake_i32(uint64_t word) { return static_cast<int32_t>(static_cast<uint32_t>(word)); }

template <class T>
void fake_store(uint64_t address, T value) {
  std::memcpy(reinterpret_cast<void *>(static_cast<uintptr_t>(address)), &value, sizeof value);
}

Fake_Component *fake_component(Fake_Game *g, uint64_t ped, uint64_t index_word) {
  int32_t index = fake_i32(index_word);
  if (ped != g->ped || index < 0 || static_cast<size_t>(index) >= g->components.size()) return nullptr;
  return &g->components[static_cast<size_t>(index)];
}

void fake_dispatch(Fake_Game *g) {
  const uint64_t *a = g->pending_args;
  Host_Uint64 *r = g->result;
  switch (g->pending_hash) {
    case NATIVE_GET_PLAYER_PED: r[0] = g->ped; return;
    case NATIVE_GET_ENTITY_MODEL: r[0] = a[0] == g->ped ? g->model : 0; return;
    case NATIVE_GET_NUM_COMPONENTS:
      if (a[0] != g->ped) return;
      r[0] = static_cast<uint32_t>(g->reported_count ? *g->reported_count : static_cast<int32_t>(g->components.size()));
      return;
    case NATIVE_GET_COMPONENT_CATEGORY: {
      Fake_Component *c = fake_component(g, a[0], a[1]);
      r[0] = c ? c->category : 0;
      return;
    }
    case NATIVE_GET_COMPONENT_TINT: {
      Fake_Component *c = fake_component(g, a[0], a[1]);
      if (!c || !g->fill_out_variables) return;
      fake_store(a[2], c->palette);
      fake_store(a[3], c->tint0);
      fake_store(a[4], c->tint1);
      fake_store(a[5], c->tint2);
      r[0] = 1;
      return;
    }
    case NATIVE_GET_COMPONENT_ASSETS: {
      Fake_Component *c = fake_component(g, a[0], a[1]);
      if (!c || !g->fill_out_variables) return;
      for (int i = 0; i < 4; i++) fake_store(a[2 + i], c->assets[i]);
      r[0] = 1;
      return;
    }
    case NATIVE_SET_COMPONENT_TINT: {
      g->set_tint_count++;
      if (a[0] != g->ped || !g->accept_tints) return;
      for (Fake_Component &c : g->components) {
        if (c.assets[0] != fake_u32(a[1]) || c.assets[1] != fake_u32(a[2]) || c.assets[2] != fake_u32(a[3]) ||
            c.assets[3] != fake_u32(a[4]))
          continue;
        c.palette = fake_u32(a[5]);
        c.tint0 = fake_i32(a[6]);
        c.tint1 = fake_i32(a[7]);
        c.tint2 = fake_i32(a[8]);
      }
      return;
    }
    case NATIVE_REFRESH_PED_VARIATION: g->refresh_count++; return;
    case NATIVE_SET_TEXT_SCALE:
      g->pending_text.scale[0] = a[0], g->pending_text.scale[1] = a[1];
      return;
    case NATIVE_SET_TEXT_COLOR:
      for (int i = 0; i < 4; i++) g->pending_text.color[i] = a[i];
      return;
    case NATIVE_MAKE_TEXT_STRING: {
      g->pending_text.text.clear();
      for (uint32_t i = 1; i < g->pending_count; i++) {
        if (i > 1) g->pending_text.text += '|';
        g->pending_text.text += reinterpret_cast<const char *>(static_cast<uintptr_t>(a[i]));
      }
      r[0] = 0x0000'1000'0000'0000 + g->texts.size();
      return;
    }
    case NATIVE_DISPLAY_TEXT:
      g->pending_text.position[0] = a[1], g->pending_text.position[1] = a[2];
      g->texts.push_back(g->pending_text);
      return;
    default: return;
  }
}

void fake_script_wait(Host_Dword) { fake_current->wait_count++; }

void fake_native_init(Host_Uint64 hash) {
  fake_current->pending_hash = hash;
  fake_current->pending_count = 0;
}

void fake_native_push64(Host_Uint64 value) {
  Fake_Game *g = fake_current;
  if (g->pending_count < FAKE_MAX_ARGS) g->pending_args[g->pending_count++] = value;
}

Host_Uint64 *fake_native_call() {
  Fake_Game *g = fake_current;
  g->call_count++;
  if (g->record_calls) g->calls.push_back({g->pending_hash, {g->pending_args, g->pending_args + g->pending_count}});
  std::memset(g->result, 0, sizeof g->result);
  fake_dispatch(g);
  return g->null_result_slot ? nullptr : g->result;
}

}  // namespace

void fake_game_install(Fake_Game *game) {
  fake_current = game;
  host_functions = {fake_script_wait, fake_native_init, fake_native_push64, fake_native_call};
}

size_t fake_game_count(const Fake_Game &game, uint64_t hash) {
  size_t n = 0;
  for (const Fake_Call &c : game.calls) n += c.hash == hash;
  return n;
}
