// The settings file's rules written again, plainly, for the tests only: the INI reader, the
// conversion into a Config and the reloader's decisions, in standard C++ with no arena and no fast
// path. It shares no code with the module; only the records it is compared on (Config,
// Reload_State) are the module's own. The differential tests read the same inputs both ways.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "src/config/config.h"

namespace ref {

// ---- Text: code points from UTF-8, white space, the case table. ----

// The code points of `utf8`: every byte that does not start a complete, shortest-form sequence of a
// scalar value is U+FFFD on its own.
std::vector<uint32_t> code_points(std::string_view utf8);
void append_utf8(std::string *out, uint32_t code_point);  // a surrogate or a value past U+10FFFF as U+FFFD

bool is_white_space(uint32_t code_point);
uint32_t lower(uint32_t code_point);
std::string lower(std::string_view utf8);
std::string trim(std::string_view utf8);

// The UTF-8 text of a file's bytes: UTF-16 when they start with its byte-order mark, else the
// bytes themselves.
std::string text_from_bytes(std::string_view bytes);

// ---- The INI reader. ----

using Keys = std::map<std::string, std::string>;
using Sections = std::map<std::string, Keys>;

struct Options {
  std::string comment_prefix;
  bool lowercase_keys;
};

// The unquoted form of a key or value: the decoded literal, or the text as written.
std::string unquote(std::string_view text);

Sections read_ini(std::string_view text, const Options &options);

// ---- The conversion. ----

enum class Refusal { none, duplicate_key, missing_key, not_a_truth_value, not_an_integer };

struct Verdict {
  Refusal refusal;
  int key_index;  // missing_key, not_a_truth_value, not_an_integer: the key's place in the order; else -1
  Config config;  // all zero unless refusal is none
};

// The 32 expected keys, "corvin.enabled" to "mael.beard_tertiary", in the order of conversion.
std::string expected_key(int index);

// The Config that a file's sections give (read with ";" comments and lowercased keys).
Verdict convert(const Sections &sections);

// The player's line for a refusal ("" for none).
std::string message_for(Refusal refusal);

// ---- The reloader. ----

// What a look at one place shows: a file there; nothing to read (no such file or folder, a folder
// or a device under the name, an unreachable drive, share or link); a file that is there but cannot
// be looked at (access denied, a read error); or a pipe or a device that the look takes for a file
// (as Wine shows a Linux one), which only its open tells from a file.
enum class Presence { file, none, unreadable, device };

struct Look {
  Presence presence;
  uint64_t write_ticks;  // of a file
  uint64_t size;
  friend bool operator==(const Look &, const Look &) = default;
};

// What happens to one file during a frame, as far as the reloader can see it.
struct File_World {
  Look look;               // the look at the file
  bool opens;              // the read's open succeeds (nobody holds the file locked)
  bool reads;              // the read succeeds once opened
  std::string bytes;       // what the read takes
  Look look_after_read;    // the second look, after the read
};

// One frame: the clock, the working folder's file and the one beside the module.
struct Frame_World {
  uint64_t now;
  File_World working;
  bool beside_known;       // the module's folder could be named
  File_World beside;
  bool out_of_memory;      // the heap refused a request during the frame
};

struct Reloader {
  Reload_State state{};  // as the module keeps it
  Config config{};
  std::string message;  // the line on screen, after "Mane Shade: "; "" for none
};

struct Frame_Result {
  bool unchanged;
  std::string message;  // when !unchanged
};

Frame_Result reload_frame(Reloader *reloader, const Frame_World &world);

}  // namespace ref
