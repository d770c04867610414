// Fuzzes the reloader's handling of a file that other programs save, lock, delete and tear, on the
// in-memory platform: the input is a sequence of events (the clock moving either way, saves of good
// or broken settings with new or old times and sizes about the 1 MiB bound, deletions, a folder or an
// unreachable share in the file's place, locks, read errors, changes during a read, a last-write
// time of 0, a file beside the module that comes and goes or copies the other's time and size), and
// after each one update_config runs and is checked against the reloader of the tests' reference:
// the result, the line on screen, the Config and the Reload_State.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/ini/ini.h"
#include "fuzz/fuzz_support.h"
#include "runtime/arena.h"
#include "src/config/messages.h"
#include "src/config/reload.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tests/reference/reference.h"
#include "tests/support/fake_platform.h"

namespace {

constexpr size_t FUZZ_MAX_EVENTS = 64;  // enough for any pattern of saves and looks; keeps a run fast
constexpr uint64_t FUZZ_MS = TICKS_PER_SECOND / 1000;
constexpr uint64_t FUZZ_HOUR = 3600 * TICKS_PER_SECOND;

// The bytes of the input, one decision at a time; 0 once they are used up.
struct Fuzz_Input {
  const uint8_t *at;
  const uint8_t *end;
};

uint8_t fuzz_byte(Fuzz_Input *in) { return in->at < in->end ? *in->at++ : 0; }

uint64_t fuzz_u64(Fuzz_Input *in) {
  uint64_t value = 0;
  for (int i = 0; i < 8; i++) value = value << 8 | fuzz_byte(in);
  return value;
}

template <size_t N>
uint64_t fuzz_pick(Fuzz_Input *in, const uint64_t (&choices)[N]) {
  return choices[fuzz_byte(in) % N];
}

// ---- Settings files whose verdict is known without the module. ----

enum Fuzz_Content_Kind : uint8_t { FUZZ_GOOD, FUZZ_BAD_VALUE, FUZZ_MISSING_KEY, FUZZ_DUPLICATE_KEY, FUZZ_CONTENT_KINDS };

struct Fuzz_Content {
  std::string bytes;
  Fuzz_Outcome outcome;
};

std::string fuzz_block_header(std::string_view block, Fuzz_Random *random) {
  return "[" + fuzz_flip_case(block, random) + "]";
}

// The same block name in another letter case than `header` (which is "[name]"): another section.
std::string fuzz_other_case_header(std::string header) {
  char &c = header[1];
  c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c - 'A' + 'a');
  return header;
}

// Both blocks with every key, one of them spoilt as `kind` says, and the verdict that must follow.
Fuzz_Content fuzz_settings(Fuzz_Content_Kind kind, Fuzz_Random *random) {
  size_t spoilt = fuzz_below(random, CONFIG_KEY_COUNT);
  Fuzz_Content content{"", {CONFIG_STATUS_OK, {}}};
  std::string eol = fuzz_one_in(random, 3) ? "\r\n" : "\n";
  if (fuzz_one_in(random, 2)) content.bytes.append("; ManeShade.ini" + eol);
  std::string headers[2];
  for (size_t block = 0; block < 2; block++) {
    const Config_Key &first = CONFIG_KEYS[block * 16];
    headers[block] = fuzz_block_header(first.section(), random);
    content.bytes.append(headers[block] + eol);
    // Keys in any order: the conversion goes by the table, not by the file.
    size_t order[16];
    for (size_t i = 0; i < 16; i++) order[i] = block * 16 + i;
    for (size_t i = 16; i > 1; i--) std::swap(order[i - 1], order[fuzz_below(random, i)]);
    for (size_t index : order) {
      const Config_Key &key = CONFIG_KEYS[index];
      Fuzz_Value value = fuzz_good_value(key, random);
      (content.outcome.config.*key.block).*key.field = value.expected;
      if (index == spoilt && kind == FUZZ_MISSING_KEY) continue;
      if (index == spoilt && kind == FUZZ_BAD_VALUE) value.text = key.after == CONFIG_TINT ? "blue" : "maybe";
      content.bytes.append(std::string(key.field_name()) + " = " + value.text + eol);
    }
  }
  const Config_Key &key = CONFIG_KEYS[spoilt];
  auto index = static_cast<int16_t>(spoilt);
  switch (kind) {
    case FUZZ_BAD_VALUE:
      content.outcome.status =
          Config_Status(key.after == CONFIG_TINT ? CONFIG_NOT_AN_INTEGER : CONFIG_NOT_A_TRUTH_VALUE, index);
      break;
    case FUZZ_MISSING_KEY: content.outcome.status = Config_Status(CONFIG_MISSING_KEY, index); break;
    case FUZZ_DUPLICATE_KEY: {
      const std::string &header = headers[spoilt / 16];
      content.bytes.append(fuzz_other_case_header(header) + eol + std::string(key.field_name()) + " = 1" + eol);
      content.outcome.status = CONFIG_DUPLICATE_KEY;
      break;
    }
    default: break;
  }
  if (!content.outcome.status.ok()) content.outcome.config = {};
  return content;
}

// ASCII text as a Windows editor saves "Unicode": a byte-order mark, then two bytes a character.
std::string fuzz_utf16(std::string_view ascii, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char c : ascii) {
    out.push_back(little ? c : '\0');
    out.push_back(little ? '\0' : c);
  }
  return out;
}

// `content` grown to `size` bytes by a note at its start (a file of notes is still the same file).
void fuzz_pad_to(Fuzz_Content *content, size_t size) {
  constexpr size_t NOTE_OVERHEAD = 2;  // ";" and "\n"
  if (content->bytes.size() + NOTE_OVERHEAD > size) return;
  size_t note = size - content->bytes.size() - NOTE_OVERHEAD;
  content->bytes = ";" + std::string(note, 'x') + "\n" + content->bytes;
}

// The verdict on a file's bytes as the module must reach it: its text (settings_text_from_bytes),
// then config_from_text.
Fuzz_Outcome fuzz_outcome_of_file(std::string_view bytes) {
  Arena arena{};
  Result<std::string_view> text = settings_text_from_bytes(&arena, bytes);
  fuzz_check(text.ok());
  Fuzz_Outcome outcome = fuzz_outcome(config_from_text(&arena, text.value()));
  arena_destroy(&arena);
  return outcome;
}

// ---- The run: the fake file system, the reloader's state, and the model's. ----

enum Fuzz_Tear : uint8_t {
  FUZZ_TEAR_NONE,
  FUZZ_TEAR_NEW_SAVE,       // the editor finishes another save: new bytes, new time
  FUZZ_TEAR_TIME,           // only the time moves
  FUZZ_TEAR_SIZE,           // only the size a look reports grows
  FUZZ_TEAR_DELETE,         // the file goes away
  FUZZ_TEAR_SAME_STAMP,     // a byte changes, time and size stay: nothing can tell
  FUZZ_TEAR_GROW,           // a byte more, same time
  FUZZ_TEARS,
};

constexpr std::string_view FUZZ_BESIDE_PATH = "game/ManeShade.ini";

struct Fuzz_Run {
  Fake_Platform fake;
  Config config{};
  Reload_State state{};
  std::string message;  // the line on screen, as the frame loop keeps it
  ref::Reloader reference;
  bool beside_known = false;        // the module's folder could be named
  Fuzz_Tear tear = FUZZ_TEAR_NONE;  // what happens during the next read
  Fuzz_Random random{};
};

File_Stamp fuzz_stamp(const Fake_Platform &fake) {
  return {fake.write_ticks, fake.stamp_size ? *fake.stamp_size : fake.bytes.size()};
}

void fuzz_set_bytes(Fuzz_Run *run, std::string bytes) {
  run->fake.bytes = std::move(bytes);
  run->fake.stamp_size.reset();
}

// Runs inside the platform's read, after the bytes were taken.
void fuzz_tear(Fuzz_Run *run, Fake_Platform &fake) {
  Fuzz_Tear tear = run->tear;
  run->tear = FUZZ_TEAR_NONE;
  switch (tear) {
    case FUZZ_TEAR_NEW_SAVE: {
      Fuzz_Content content = fuzz_settings(FUZZ_GOOD, &run->random);
      fuzz_set_bytes(run, content.bytes);
      fake.write_ticks += 1;
      break;
    }
    case FUZZ_TEAR_TIME: fake.write_ticks += 1; break;
    case FUZZ_TEAR_SIZE: fake.stamp_size = fuzz_stamp(fake).size_bytes + 1; break;
    case FUZZ_TEAR_DELETE: fake.exists = false; break;
    case FUZZ_TEAR_SAME_STAMP:
      if (fake.bytes.empty()) break;
      fake.bytes[0] = static_cast<char>(fake.bytes[0] ^ 1);
      break;
    case FUZZ_TEAR_GROW: fake.bytes.push_back('\n'); break;
    default: break;
  }
}

// A save's last-write time: the same, a tick or a second later or earlier, 0, the clock's, any.
void fuzz_save_time(Fuzz_Run *run, Fuzz_Input *in) {
  uint64_t &t = run->fake.write_ticks;
  switch (fuzz_byte(in) % 8) {
    case 0: break;
    case 1: t += 1; break;
    case 2: t += TICKS_PER_SECOND; break;
    case 3: t = 0; break;
    case 4: t -= 1; break;
    case 5: t = fuzz_u64(in); break;
    case 6: t = run->fake.now; break;
    default: t -= TICKS_PER_SECOND; break;
  }
}

// Settings of a kind the input picks, drawn afresh; in UTF-16 too when `utf16_allowed`.
Fuzz_Content fuzz_generated(Fuzz_Run *run, Fuzz_Input *in, bool utf16_allowed) {
  uint8_t choice = fuzz_byte(in);
  run->random.state ^= fuzz_u64(in);
  Fuzz_Content content = fuzz_settings(static_cast<Fuzz_Content_Kind>(choice % FUZZ_CONTENT_KINDS), &run->random);
  if (utf16_allowed && (choice & 0x10)) content.bytes = fuzz_utf16(content.bytes, /*little=*/(choice & 0x20) != 0);
  return content;
}

// A file about the size bound: one byte under, at, one over, a few over, far over, or half.
Fuzz_Content fuzz_large(Fuzz_Run *run, Fuzz_Input *in) {
  static constexpr uint64_t SIZES[] = {CONFIG_FILE_MAX_BYTES - 1, CONFIG_FILE_MAX_BYTES,     CONFIG_FILE_MAX_BYTES + 1,
                                       CONFIG_FILE_MAX_BYTES + 2, CONFIG_FILE_MAX_BYTES + 4096, CONFIG_FILE_MAX_BYTES / 2};
  // UTF-8 only: a note before a UTF-16 mark would make it no mark.
  Fuzz_Content content = fuzz_generated(run, in, /*utf16_allowed=*/false);
  fuzz_pad_to(&content, fuzz_pick(in, SIZES));
  return content;
}

void fuzz_event(Fuzz_Run *run, Fuzz_Input *in) {
  static constexpr uint64_t FORWARD[] = {0, 1, 999 * FUZZ_MS, TICKS_PER_SECOND - 1, TICKS_PER_SECOND, TICKS_PER_SECOND + 1,
                                         TICKS_PER_SECOND, 16 * FUZZ_MS};
  static constexpr uint64_t BACK[] = {1, TICKS_PER_SECOND, FUZZ_HOUR, 500 * FUZZ_MS};
  static constexpr Os_Error OPEN_ERRORS[] = {OS_SHARING_VIOLATION, OS_ACCESS_DENIED, OS_NOT_A_FILE};
  static constexpr Os_Error READ_ERRORS[] = {OS_OK, OS_IO_ERROR, OS_OUT_OF_MEMORY};
  // What a look finds in the file's place when it is not there.
  static constexpr Os_Error ABSENT[] = {OS_FILE_NOT_FOUND, OS_PATH_NOT_FOUND, OS_IS_A_FOLDER, OS_NOT_A_FILE,
                                        OS_UNREACHABLE,    OS_ACCESS_DENIED,  OS_IO_ERROR};
  Fake_Platform &fake = run->fake;
  switch (fuzz_byte(in) % 19) {
    case 0: fake.now += fuzz_pick(in, FORWARD); break;
    case 1: fake.now += fuzz_byte(in) * 100 * FUZZ_MS; break;
    case 2: fake.now -= fuzz_pick(in, BACK); break;
    case 3: fake.now = fuzz_u64(in); break;
    case 4: {
      Fuzz_Content content = fuzz_generated(run, in, /*utf16_allowed=*/true);
      Fuzz_Outcome checked = fuzz_outcome_of_file(content.bytes);
      fuzz_check(fuzz_same_outcome(checked, content.outcome));
      fuzz_set_bytes(run, content.bytes);
      fuzz_save_time(run, in);
      break;
    }
    case 5: {
      size_t size = fuzz_byte(in);
      size_t left = static_cast<size_t>(in->end - in->at);
      if (size > left) size = left;
      fuzz_set_bytes(run, std::string(reinterpret_cast<const char *>(in->at), size));
      in->at += size;
      fuzz_save_time(run, in);
      break;
    }
    case 6: {
      Fuzz_Content content = fuzz_large(run, in);
      fuzz_set_bytes(run, content.bytes);
      fuzz_save_time(run, in);
      break;
    }
    case 7: fuzz_save_time(run, in); break;
    case 8:
      fake.exists = false;
      fake.absent_as = ABSENT[fuzz_byte(in) % std::size(ABSENT)];
      break;
    case 9: fake.exists = true; break;
    case 10: fake.open_error = OPEN_ERRORS[fuzz_byte(in) % std::size(OPEN_ERRORS)]; break;
    case 11: fake.open_error = OS_OK; break;
    case 12: fake.read_error = READ_ERRORS[fuzz_byte(in) % std::size(READ_ERRORS)]; break;
    case 13: {
      // A look that reports another size than the bytes: a file being written.
      static constexpr uint64_t LIES[] = {1, CONFIG_FILE_MAX_BYTES + 1, 0};
      uint64_t lie = fuzz_pick(in, LIES);
      if (lie == 0) {
        fake.stamp_size.reset();
      } else {
        fake.stamp_size = lie == 1 ? fake.bytes.size() + 1 : lie;
      }
      break;
    }
    case 14: run->tear = static_cast<Fuzz_Tear>(1 + fuzz_byte(in) % (FUZZ_TEARS - 1)); break;
    case 15: fake.write_ticks = 0; break;
    case 16: {  // the file beside the module: saved, removed, the module's folder known or not
      uint8_t choice = fuzz_byte(in);
      run->beside_known = (choice & 1) != 0;
      fake.others.clear();
      if (choice & 2) fake.others.push_back({std::string(FUZZ_BESIDE_PATH), fuzz_generated(run, in, true).bytes, fake.write_ticks});
      break;
    }
    case 17:  // the working folder's file copied beside the module with its time: the same version, were it not
              // another file
      fake.others = {{std::string(FUZZ_BESIDE_PATH), fake.bytes, fake.write_ticks}};
      break;
    default: break;  // another frame, nothing changed
  }
}

// ---- The frame, both ways. ----

ref::Presence fuzz_presence(Os_Error absent_as) {
  return absent_as == OS_ACCESS_DENIED || absent_as == OS_IO_ERROR ? ref::Presence::unreadable : ref::Presence::none;
}

ref::Look fuzz_look(const Fake_Platform &fake) {
  if (!fake.exists) return {fuzz_presence(fake.absent_as), 0, 0};
  File_Stamp stamp = fuzz_stamp(fake);
  // An open that finds a pipe or a device: the look took it for a file.
  ref::Presence presence = fake.open_error == OS_NOT_A_FILE ? ref::Presence::device : ref::Presence::file;
  return {presence, stamp.last_write_ticks, stamp.size_bytes};
}

// One frame: update_config on the fake platform, then the reference's reloader on what the frame's
// files were (the working folder's before and after its read, the one beside the module), and both
// compared.
void fuzz_frame(Fuzz_Run *run) {
  Fake_Platform &fake = run->fake;
  ref::Frame_World world{};
  world.now = fake.now;
  world.working = {fuzz_look(fake), fake.open_error == OS_OK, fake.read_error == OS_OK, fake.bytes, {}};
  world.beside_known = run->beside_known;
  if (!fake.others.empty()) {
    const Fake_Platform::Other_File &other = fake.others.front();
    ref::Look look{ref::Presence::file, other.write_ticks, other.bytes.size()};
    world.beside = {look, true, true, other.bytes, look};
  } else {
    world.beside.look.presence = ref::Presence::none;
  }

  fake.module_folder = run->beside_known ? "game/" : "";
  Arena places_arena{};
  Settings_Places places = settings_places(&places_arena);
  Reload_Result result = update_config(&run->config, &run->state, places);
  arena_release(frame_scratch());
  arena_destroy(&places_arena);
  if (!result.unchanged) run->message = result.message;
  world.working.look_after_read = fuzz_look(fake);  // a read's tear has happened by now

  ref::Frame_Result expected = ref::reload_frame(&run->reference, world);
  fuzz_check(result.unchanged == expected.unchanged);
  if (!result.unchanged) fuzz_check(result.message == expected.message);
  fuzz_check(run->message == run->reference.message);
  fuzz_check(fuzz_same_config(run->config, run->reference.config));
  const Reload_State &a = run->state, &b = run->reference.state;
  fuzz_check(a.last_check == b.last_check && a.looked == b.looked && a.write_seen == b.write_seen && a.last_write == b.last_write &&
             a.last_size == b.last_size && a.seen_beside_module == b.seen_beside_module);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Fuzz_Input in{data, data + size};
  auto run = std::make_unique<Fuzz_Run>();
  run->random = fuzz_random_from(std::string_view(reinterpret_cast<const char *>(data), size));
  run->fake.bytes = fuzz_settings(FUZZ_GOOD, &run->random).bytes;
  run->fake.during_read = [r = run.get()](Fake_Platform &fake) { fuzz_tear(r, fake); };
  fake_platform_install(&run->fake);
  fuzz_frame(run.get());
  for (size_t i = 0; i < FUZZ_MAX_EVENTS && in.at < in.end; i++) {
    fuzz_event(run.get(), &in);
    fuzz_frame(run.get());
  }
  fake_platform_remove();
  arena_release(frame_scratch());
  return 0;
}
