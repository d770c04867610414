// The native call bridge: one typed procedure per game function (natives.h). Each begins a call by
// hash, pushes its arguments as 64-bit words in the listed order, performs the call and decodes the
// result. Callable only from the host's script thread, one call at a time.
#pragma once
#include <cstdint>
#include <cstring>
#include <span>

using Entity_Handle = uint64_t;

// Argument words. Entity handles and addresses travel unchanged; 32-bit values (signed, unsigned,
// truth values, floats) as a word whose two halves both hold the value's bit pattern.
constexpr uint64_t native_word_from_u32(uint32_t bits) { return (uint64_t{bits} << 32) | bits; }
constexpr uint64_t native_word_from_i32(int32_t value) { return native_word_from_u32(static_cast<uint32_t>(value)); }
constexpr uint64_t native_word_from_bool(bool value) { return native_word_from_u32(value ? 1u : 0u); }
inline uint64_t native_word_from_f32(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return native_word_from_u32(bits);
}
inline uint64_t native_word_from_address(const void *address) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address));
}

Entity_Handle get_player_ped() noexcept;
uint32_t get_entity_model(Entity_Handle ped) noexcept;
int32_t get_num_components(Entity_Handle ped) noexcept;
uint32_t get_component_category(Entity_Handle ped, int32_t index) noexcept;  // pushes a 64-bit 0 third

// Out-variables must be zeroed by the caller: the game may leave them alone.
void get_component_tint(Entity_Handle ped, int32_t index, uint32_t *palette, int32_t *tint0, int32_t *tint1,
                        int32_t *tint2) noexcept;
void get_component_assets(Entity_Handle ped, int32_t index, uint32_t *asset1, uint32_t *asset2,
                          uint32_t *asset3, uint32_t *asset4) noexcept;
void set_component_tint(Entity_Handle ped, uint32_t asset1, uint32_t asset2, uint32_t asset3, uint32_t asset4,
                        uint32_t palette, int32_t tint0, int32_t tint1, int32_t tint2) noexcept;
void refresh_ped_variation(Entity_Handle ped, bool p1, bool p2, bool p3, bool p4, bool p5) noexcept;

void set_text_scale(float x_scale, float y_scale) noexcept;
void set_text_color(int32_t red, int32_t green, int32_t blue, int32_t alpha) noexcept;
// Pushes `kind`, then the address of each NUL-terminated string in order.
uint64_t make_text_string(int32_t kind, std::span<const char *const> strings) noexcept;
void display_text(uint64_t text, float x, float y) noexcept;

// Hands control back to the host; 0 resumes on the next frame.
void script_wait(uint32_t milliseconds) noexcept;
