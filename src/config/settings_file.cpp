// The settings file; see settings_file.h.
#include "src/config/settings_file.h"

#include "runtime/utf8.h"
#include "src/config/schema.h"

namespace {

constexpr std::string_view SETTINGS_UTF16_LE_BOM = "\xFF\xFE";
constexpr std::string_view SETTINGS_UTF16_BE_BOM = "\xFE\xFF";

}  // namespace

Result<std::string_view> settings_text_from_bytes(Arena *arena, std::string_view bytes) noexcept {
  bool little = bytes.starts_with(SETTINGS_UTF16_LE_BOM);
  if (!little && !bytes.starts_with(SETTINGS_UTF16_BE_BOM)) return bytes;
  std::string_view text =
      utf8_from_utf16(arena, bytes.substr(2), little ? Utf16_Order::little_endian : Utf16_Order::big_endian);
  if (!text.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  return text;
}

Result<Settings_Text> settings_file_read(Arena *scratch, std::string_view path, const File_Stamp &looked) noexcept {
  if (looked.size_bytes > CONFIG_FILE_MAX_BYTES) return status_fail(FAILURE_TOO_LARGE);
  Result<std::string_view> bytes = platform_read_file(scratch, path, CONFIG_FILE_MAX_BYTES);
  if (!bytes.ok()) return bytes.status();
  Result<std::string_view> text = settings_text_from_bytes(scratch, bytes.value());
  if (!text.ok()) return text.status();
  Result<File_Stamp> after = platform_file_stamp(scratch, path);
  if (!after.ok() && after.status().failure == FAILURE_OUT_OF_MEMORY) return after.status();
  if (!after.ok() || !(after.value() == looked)) return status_fail(FAILURE_CHANGED);
  return Settings_Text{bytes.value(), text.value()};
}

Settings_Load settings_file_load(Arena *scratch, std::string_view path, const File_Stamp &looked) noexcept {
  Settings_Load out{};
  Result<Settings_Text> read = settings_file_read(scratch, path, looked);
  if (!read.ok()) {
    out.status = read.status();
    return out;
  }
  out.read = read.value();
  Config_Result converted = config_from_text(scratch, out.read.text);
  out.status = converted.status();
  if (converted.ok()) out.config = converted.value();
  return out;
}
