// The simulated game's words for values; see text.h.
#include "tools/sim/text.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cinttypes>
#include <cstdio>

#include "tools/game/game_interface.h"

std::string text_utf8_from_wide(const std::wstring &text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring text_wide_from_utf8(const std::string &text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return {};
  std::wstring out(static_cast<size_t>(size - 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  return out;
}

std::string text_hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
  return text;
}

std::string text_address(const void *address) {
  return text_hex64(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address)));
}

std::string text_model(uint32_t model) {
  char text[40];
  const char *name = model == GAME_MODEL_CORVIN ? " (corvin)" : model == GAME_MODEL_MAEL ? " (mael)" : "";
  std::snprintf(text, sizeof text, "0x%08x%s", model, name);
  return text;
}

std::string text_tints(const int32_t tints[3]) {
  return std::to_string(tints[0]) + " " + std::to_string(tints[1]) + " " + std::to_string(tints[2]);
}

std::string text_float_exact(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

std::string text_float_short(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}
