// The settings file read the reloader's way, on real files: the text of UTF-8 and UTF-16 files,
// and the failures of each step.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "runtime/arena.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tests/support/failing_heap.h"
#include "tests/ini/map_dump.h"

using namespace std::string_view_literals;

namespace {

std::filesystem::path write_temp_file(const std::u8string &name, std::string_view bytes) {
  std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string utf8_from_path(const std::filesystem::path &path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The map of the file at `path`, read as the reloader reads it; its status in `*status`.
std::string load_dump(const std::string &path, Status *status) {
  Arena scratch{};
  Owned<Section_Map> loaded;
  *status = STATUS_OK;
  Result<File_Stamp> looked = platform_file_stamp(&scratch, path);
  if (!looked.ok()) *status = looked.status();
  Result<Settings_Text> read = looked.ok() ? settings_file_read(&scratch, path, looked.value()) : looked.status();
  if (looked.ok()) *status = read.ok() ? load_map_from_string(&loaded.value, read.value().text, CONFIG_FILE_INI_OPTIONS) : read.status();
  arena_destroy(&scratch);
  return dump_map(loaded.value);
}

TEST(SettingsFile, ReadsAFileAndReportsEachStepsFailure) {
  const char *text = "\xEF\xBB\xBF[corvin]\r\nEnabled = 1\r\nhair_primary = \"12\"\r\n";
  std::filesystem::path path = write_temp_file(u8"ManeShade_settings_test_\u00e9.ini", text);
  Status status;
  EXPECT_EQ(load_dump(utf8_from_path(path), &status), "[corvin]\nenabled\t1\nhair_primary\t12\n");
  EXPECT_EQ(status, STATUS_OK);

  Arena scratch{};
  File_Stamp stale{0, std::string_view(text).size()};  // the file was saved again after this look
  EXPECT_EQ(settings_file_read(&scratch, utf8_from_path(path), stale).status(), status_fail(FAILURE_CHANGED));
  File_Stamp huge{0, CONFIG_FILE_MAX_BYTES + 1};  // refused before the file is opened
  EXPECT_EQ(settings_file_read(&scratch, "no such file", huge).status(), status_fail(FAILURE_TOO_LARGE));
  EXPECT_EQ(settings_file_read(&scratch, "no such file", {}).status(), status_fail(FAILURE_OPEN, OS_FILE_NOT_FOUND));
  arena_destroy(&scratch);

  std::filesystem::remove(path);
  EXPECT_EQ(load_dump(utf8_from_path(path), &status), "");
  EXPECT_EQ(status, status_fail(FAILURE_FILE_TIME, OS_FILE_NOT_FOUND));
}

// Files as Windows editors save "Unicode": UTF-16 with a byte-order mark, decoded before reading.
TEST(SettingsFile, Utf16IsDecodedFromTheMarkOn) {
  struct Row {
    std::string_view bytes;
    std::string_view text;  // what the reader reads
    const char *fault;
  } rows[] = {
      {"\xFF\xFE[\0a\0]\0"sv, "[a]", "little endian read as bytes, NULs and all"},
      {"\xFE\xFF\0[\0a\0]"sv, "[a]", "big endian"},
      {"\xFF\xFE\x3D\xD8\x00\xDE"sv, "\xF0\x9F\x98\x80", "a surrogate pair is one code point, not two U+FFFD"},
      {"\xFF\xFE\x3D\xD8\x41\x00"sv, "\xEF\xBF\xBD" "A", "a high surrogate alone, then a letter"},
      {"\xFF\xFE\x00\xDE\x41\x00"sv, "\xEF\xBF\xBD" "A", "a low surrogate alone"},
      {"\xFF\xFE\x3D\xD8\x00\xE0"sv, "\xEF\xBF\xBD\xEE\x80\x80", "a high surrogate, then U+E000: no pair"},
      {"\xFF\xFE\x41\x00\x3D\xD8"sv, "A\xEF\xBF\xBD", "a high surrogate as the last unit"},
      {"\xFF\xFE\x41\x00\x42"sv, "A\xEF\xBF\xBD", "an odd last byte"},
      {"\xFF\xFE"sv, "", "only a mark"},
      {"\xFF\xFE\xFF\xFE[\0a\0]\0"sv, "\xEF\xBB\xBF[a]", "a U+FEFF after the mark becomes the UTF-8 mark"},
      {"\xFE\xFF\x00\xE9"sv, "\xC3\xA9", "a letter beyond ASCII"},
      {"[a]\r\n"sv, "[a]\r\n", "UTF-8 stays byte for byte"},
      {"\xFF[a]"sv, "\xFF[a]", "one byte of a mark is no mark"},
  };
  Arena arena{};
  for (const Row &row : rows) {
    Result<std::string_view> text = settings_text_from_bytes(&arena, row.bytes);
    ASSERT_TRUE(text.ok()) << row.fault;
    EXPECT_EQ(text.value(), row.text) << row.fault;
  }
  arena_destroy(&arena);
  Failing_Heap_Scope no_heap(0);
  EXPECT_EQ(settings_text_from_bytes(&arena, "\xFF\xFE[\0"sv).status(), status_fail(FAILURE_OUT_OF_MEMORY));
}

TEST(SettingsFile, Utf16FileReadsLikeTheSameFileInUtf8) {
  const std::string utf8 = "\xEF\xBB\xBF[Corvin]\r\nhair_primary = \"1\u00e9\"\r\n; note\r\n[mael]\r\nk=v\r\n";
  // The same text as Notepad saves it as "Unicode" (little endian) and "Unicode big endian".
  std::u16string units;
  for (char32_t c : std::u32string(U"[Corvin]\r\nhair_primary = \"1\u00e9\"\r\n; note\r\n[mael]\r\nk=v\r\n")) {
    units.push_back(static_cast<char16_t>(c));
  }
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (char16_t u : units) {
    little += static_cast<char>(u & 0xFF), little += static_cast<char>(u >> 8);
    big += static_cast<char>(u >> 8), big += static_cast<char>(u & 0xFF);
  }
  Status status;
  std::filesystem::path utf8_path = write_temp_file(u8"ManeShade_utf8.ini", utf8);
  std::string want = load_dump(utf8_from_path(utf8_path), &status);
  ASSERT_EQ(status, STATUS_OK);
  for (const std::string &bytes : {little, big}) {
    std::filesystem::path path = write_temp_file(u8"ManeShade_utf16.ini", bytes);
    EXPECT_EQ(load_dump(utf8_from_path(path), &status), want);
    EXPECT_EQ(status, STATUS_OK);
    std::filesystem::remove(path);
  }
  std::filesystem::remove(utf8_path);
}

}  // namespace
