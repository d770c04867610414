// The native call bridge; see bridge.h.
#include "host/bridge.h"

#include "host/host_functions.h"
#include "host/natives.h"

Host_Functions host_functions;

namespace {

void native_begin(uint64_t hash) { host_functions.native_init(hash); }

void native_push(uint64_t word) { host_functions.native_push64(word); }

const Host_Uint64 *native_invoke() { return host_functions.native_call(); }

// The first word of the result slot. A host that hands back no slot at all is answered as if the
// game had returned 0, rather than by a crash in the game's process.
uint64_t native_result_word(const Host_Uint64 *slot) { return slot ? slot[0] : 0; }

uint32_t native_result_u32(const Host_Uint64 *slot) { return static_cast<uint32_t>(native_result_word(slot)); }

}  // namespace

Entity_Handle get_player_ped() noexcept {
  native_begin(NATIVE_GET_PLAYER_PED);
  return native_result_word(native_invoke());
}

uint32_t get_entity_model(Entity_Handle ped) noexcept {
  native_begin(NATIVE_GET_ENTITY_MODEL);
  native_push(ped);
  return native_result_u32(native_invoke());
}

int32_t get_num_components(Entity_Handle ped) noexcept {
  native_begin(NATIVE_GET_NUM_COMPONENTS);
  native_push(ped);
  return static_cast<int32_t>(native_result_u32(native_invoke()));
}

uint32_t get_component_category(Entity_Handle ped, int32_t index) noexcept {
  native_begin(NATIVE_GET_COMPONENT_CATEGORY);
  native_push(ped);
  native_push(native_word_from_i32(index));
  native_push(0);
  return native_result_u32(native_invoke());
}

void get_component_tint(Entity_Handle ped, int32_t index, uint32_t *palette, int32_t *tint0, int32_t *tint1,
                        int32_t *tint2) noexcept {
  native_begin(NATIVE_GET_COMPONENT_TINT);
  native_push(ped);
  native_push(native_word_from_i32(index));
  native_push(native_word_from_address(palette));
  native_push(native_word_from_address(tint0));
  native_push(native_word_from_address(tint1));
  native_push(native_word_from_address(tint2));
  native_invoke();
}

void get_component_assets(Entity_Handle ped, int32_t index, uint32_t *asset1, uint32_t *asset2,
                          uint32_t *asset3, uint32_t *asset4) noexcept {
  native_begin(NATIVE_GET_COMPONENT_ASSETS);
  native_push(ped);
  native_push(native_word_from_i32(index));
  native_push(native_word_from_address(asset1));
  native_push(native_word_from_address(asset2));
  native_push(native_word_from_address(asset3));
  native_push(native_word_from_address(asset4));
  native_invoke();
}

void set_component_tint(Entity_Handle ped, uint32_t asset1, uint32_t asset2, uint32_t asset3, uint32_t asset4,
                        uint32_t palette, int32_t tint0, int32_t tint1, int32_t tint2) noexcept {
  native_begin(NATIVE_SET_COMPONENT_TINT);
  native_push(ped);
  native_push(native_word_from_u32(asset1));
  native_push(native_word_from_u32(asset2));
  native_push(native_word_from_u32(asset3));
  native_push(native_word_from_u32(asset4));
  native_push(native_word_from_u32(palette));
  native_push(native_word_from_i32(tint0));
  native_push(native_word_from_i32(tint1));
  native_push(native_word_from_i32(tint2));
  native_invoke();
}

void refresh_ped_variation(Entity_Handle ped, bool p1, bool p2, bool p3, bool p4, bool p5) noexcept {
  native_begin(NATIVE_REFRESH_PED_VARIATION);
  native_push(ped);
  native_push(native_word_from_bool(p1));
  native_push(native_word_from_bool(p2));
  native_push(native_word_from_bool(p3));
  native_push(native_word_from_bool(p4));
  native_push(native_word_from_bool(p5));
  native_invoke();
}

void set_text_scale(float x_scale, float y_scale) noexcept {
  native_begin(NATIVE_SET_TEXT_SCALE);
  native_push(native_word_from_f32(x_scale));
  native_push(native_word_from_f32(y_scale));
  native_invoke();
}

void set_text_color(int32_t red, int32_t green, int32_t blue, int32_t alpha) noexcept {
  native_begin(NATIVE_SET_TEXT_COLOR);
  native_push(native_word_from_i32(red));
  native_push(native_word_from_i32(green));
  native_push(native_word_from_i32(blue));
  native_push(native_word_from_i32(alpha));
  native_invoke();
}

uint64_t make_text_string(int32_t kind, std::span<const char *const> strings) noexcept {
  native_begin(NATIVE_MAKE_TEXT_STRING);
  native_push(native_word_from_i32(kind));
  for (const char *text : strings) native_push(native_word_from_address(text));
  return native_result_word(native_invoke());
}

void display_text(uint64_t text, float x, float y) noexcept {
  native_begin(NATIVE_DISPLAY_TEXT);
  native_push(text);
  native_push(native_word_from_f32(x));
  native_push(native_word_from_f32(y));
  native_invoke();
}

void script_wait(uint32_t milliseconds) noexcept { host_functions.script_wait(milliseconds); }
