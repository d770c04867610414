// maneshade-check FILE: tells whether Mane Shade would install a ManeShade.ini, and if not, why and
// on which line. It runs the module's own reader, flattening and conversion; docs/maneshade-check.md
// describes the exit statuses and the --dump format. The command line is check_main.h.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "src/config/config_status.h"
#include "src/config/settings_file.h"
#include "tools/check/check_report.h"

// One file as the module reads it, the report to `err` and, with `dump`, the JSON to `out`: the
// exit status of `maneshade-check [--dump] FILE`. The JSON is written exactly when the status is 0
// or 1 (the game's verdict on the file); a file too large to be read gives no sections. Installs a
// log sink while it runs. Throws std::bad_alloc.
int check_file(std::string_view path, bool dump, FILE *out, FILE *err);

// check_file without the JSON, for `--game`: a file that cannot be read is one line of that report's
// form, "<path>: problem: cannot read it: ...", with the game's line. Throws std::bad_alloc.
int check_file_in_game(std::string_view path, FILE *err);

// What a file's bytes plainly are when they are no text at all, as a file renamed to ManeShade.ini
// (or ManeShade.ini.*) may be: a Windows shortcut (.lnk), a ZIP archive.
enum class Check_Binary { none, shortcut, zip_archive };
Check_Binary check_binary_kind(std::string_view bytes);

// Whether the ZIP archive `bytes` holds a file named `name` (in any folder of it, in any ASCII letter
// case), by its central directory's names.
bool check_zip_holds(std::string_view bytes, std::string_view name);

// How `bytes` are encoded, in words ("UTF-32 (little endian, with a byte-order mark)", "UTF-16
// without a byte-order mark"), when they are settings (check_holds_block_header, once decoded)
// in an encoding that the game does not decode: UTF-32, or UTF-16 without its mark. "" otherwise.
// Throws std::bad_alloc.
std::string check_misencoded_settings(std::string_view bytes);

// Whether `text`, read as the game reads it, holds a header of [corvin] or [mael] (in any letter
// case): a settings file, whatever else it holds. Throws std::bad_alloc.
bool check_holds_block_header(std::string_view text);

// Why a load of the file at `path` failed, in check_file's words, from the load's own outcome (the
// reloader's, as --watch has it): `status`, the bytes and text it read, and the size its look saw;
// the file is not read again. Whole lines; "" when there is nothing to add. Throws std::bad_alloc.
std::string check_explain_load(std::string_view path, const Config_Status &status, const Settings_Text &read,
                               uint64_t size_bytes);
