// The reloader against the reference's, on an in-memory platform of two files (the working
// folder's and the one beside the module): random sequences of frames with events between them
// (saves of generated files at the current time, an earlier or the same one; touches; deletes and
// restores as it was; a folder, a device, an unreachable share or an unreadable file in a file's
// place; the other place's file copied with its time; size changes; another program's lock; a failed read; a save caught half written; the
// clock set back; a heap that refuses its Nth request; the module's folder unknown), and after every
// frame the result, the line on screen, the Config and the Reload_State compared. A difference names
// the seed of the sequence (MANESHADE_REFERENCE_SEED=<seed> MANESHADE_REFERENCE_COUNT=1).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "runtime/arena.h"
#include "src/config/reload.h"
#include "tests/reference/generator.h"
#include "tests/reference/reference.h"
#include "tests/support/failing_heap.h"

namespace {

constexpr uint64_t SEQUENCES_PER_RUN = 400;
constexpr int FRAMES_PER_SEQUENCE = 60;
constexpr uint64_t MS = TICKS_PER_SECOND / 1000;
constexpr std::string_view BESIDE_PATH = "game/ManeShade.ini";

// What another program does to a file while the module reads it.
enum class Tear { none, new_save, time_moves, look_grows, deleted, same_stamp };

// What is at a place's path: a file, or what the look reports instead of one.
constexpr Os_Error NOT_A_FILE_AT_ALL[] = {OS_FILE_NOT_FOUND, OS_PATH_NOT_FOUND, OS_IS_A_FOLDER, OS_NOT_A_FILE, OS_SYMLINK_LOOP, OS_UNREACHABLE};
constexpr Os_Error CANNOT_LOOK[] = {OS_ACCESS_DENIED, OS_IO_ERROR, OS_OTHER};

struct File {
  bool exists = true;
  Os_Error gone = OS_FILE_NOT_FOUND;  // when it does not exist: what the look and the open report
  bool device = false;                // it exists for the look, but opens as a pipe or a device
  std::string bytes;
  uint64_t write_ticks = 0x01DB'0000'0000'0000;
  std::optional<uint64_t> look_size;  // what a look reports, when not the bytes' size (a save under way)
  bool locked = false, read_fails = false;
  Tear tear = Tear::none;  // during this frame's read
  std::string tear_bytes;

  ref::Presence presence() const {
    if (exists) return device ? ref::Presence::device : ref::Presence::file;
    return std::find(std::begin(CANNOT_LOOK), std::end(CANNOT_LOOK), gone) != std::end(CANNOT_LOOK) ? ref::Presence::unreadable
                                                                                                       : ref::Presence::none;
  }
  ref::Look look() const { return {presence(), write_ticks, look_size ? *look_size : bytes.size()}; }
};

void apply_tear(File *file) {
  switch (file->tear) {
    case Tear::new_save:
      file->bytes = file->tear_bytes;
      file->write_ticks += 1;
      file->look_size.reset();
      break;
    case Tear::time_moves: file->write_ticks += 1; break;
    case Tear::look_grows: file->look_size = file->look().size + 1; break;
    case Tear::deleted: file->exists = false; break;
    case Tear::same_stamp:
      if (!file->bytes.empty()) file->bytes[0] = static_cast<char>(file->bytes[0] ^ 1);
      break;
    case Tear::none: break;
  }
  file->tear = Tear::none;
}

ref::File_World world_of(const File &file) {
  File after = file;
  apply_tear(&after);
  return {file.look(), !file.locked, !file.read_fails, file.bytes, after.look()};
}

// ---- The platform: the clock and the two files ----

struct Platform {
  uint64_t now = 0x01DC'0000'0000'0000;
  File working, beside;
  bool beside_known = true;
};
Platform *platform;

File *file_at(std::string_view path) {
  if (path == CONFIG_FILE_NAME) return &platform->working;
  if (path == BESIDE_PATH) return &platform->beside;
  return nullptr;
}

uint64_t diff_now() noexcept { return platform->now; }

Result<File_Stamp> diff_file_stamp(Arena *scratch, std::string_view path) noexcept {
  if (!arena_push_string(scratch, path).data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  File *file = file_at(path);
  if (!file) return status_fail(FAILURE_FILE_TIME, OS_FILE_NOT_FOUND);
  if (!file->exists) return status_fail(FAILURE_FILE_TIME, file->gone);
  ref::Look look = file->look();
  return File_Stamp{look.write_ticks, look.size};
}

Result<std::string_view> diff_read_file(Arena *arena, std::string_view path, uint64_t max_bytes) noexcept {
  if (!arena_push_string(arena, path).data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  File *file = file_at(path);
  if (!file) return status_fail(FAILURE_OPEN, OS_FILE_NOT_FOUND);
  if (!file->exists) return status_fail(FAILURE_OPEN, file->gone);
  if (file->device) return status_fail(FAILURE_OPEN, OS_NOT_A_FILE);
  if (file->locked) return status_fail(FAILURE_OPEN, OS_SHARING_VIOLATION);
  if (file->read_fails) return status_fail(FAILURE_READ, OS_IO_ERROR);
  if (file->bytes.size() > max_bytes) return status_fail(FAILURE_READ, OS_TOO_LARGE);
  std::string_view bytes = arena_push_string(arena, file->bytes);
  if (!bytes.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  apply_tear(file);  // what another program does while the bytes are taken
  return bytes;
}

Result<std::string_view> diff_beside_module(Arena *arena, std::string_view name) noexcept {
  if (!platform->beside_known) return status_fail(FAILURE_OPEN, OS_OTHER);
  std::string_view path = arena_push_string(arena, std::string(BESIDE_PATH.substr(0, BESIDE_PATH.size() - name.size())) + std::string(name));
  if (!path.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  return path;
}

constexpr Platform_Services DIFF_SERVICES = {diff_now, diff_file_stamp, diff_read_file, diff_beside_module};

// ---- Events ----

// A settings file, mostly one the module installs, sometimes about the size bound.
std::string some_file(ref::Random *r) {
  std::string bytes = ref::generate_file(r);
  if (r->one_in(25)) {
    const uint64_t sizes[] = {(1 << 20) - 1, 1 << 20, (1 << 20) + 1, 3 << 20};
    size_t size = sizes[r->below(std::size(sizes))];
    if (bytes.size() + 2 < size) {
      std::string padded = ";";  // appended piece by piece: g++ 12 for mingw-w64 gives a false -Wrestrict otherwise
      padded.append(size - bytes.size() - 2, 'x').append("\n").append(bytes);
      bytes = padded;
    }
  }
  return bytes;
}

void event(ref::Random *r, Platform *p) {
  uint64_t &now = p->now;
  File &file = r->one_in(3) ? p->beside : p->working;
  switch (r->below(18)) {
    case 0: case 1: case 2: {
      const uint64_t steps[] = {16 * MS, 999 * MS, TICKS_PER_SECOND - 1, TICKS_PER_SECOND, TICKS_PER_SECOND + 1, 0, 2500 * MS};
      now += steps[r->below(std::size(steps))];
      break;
    }
    case 3: {  // the clock set back
      const uint64_t steps[] = {1, TICKS_PER_SECOND, 3600 * TICKS_PER_SECOND};
      now -= steps[r->below(std::size(steps))];
      break;
    }
    case 4: case 5: case 6: {  // a save, at the current time, an earlier one or the same one
      file.bytes = some_file(r);
      file.look_size.reset();
      const uint64_t times[] = {now, now - TICKS_PER_SECOND, file.write_ticks, file.write_ticks + 1, 0};
      file.write_ticks = times[r->below(std::size(times))];
      break;
    }
    case 7: file.write_ticks = r->one_in(2) ? now : file.write_ticks + 1; break;  // a touch
    case 8:  // deleted, or back as it was; or something else in its place
      file.exists = !file.exists;
      file.device = file.exists && r->one_in(6);
      if (r->one_in(3)) {
        file.gone = r->one_in(4) ? CANNOT_LOOK[r->below(std::size(CANNOT_LOOK))] : NOT_A_FILE_AT_ALL[r->below(std::size(NOT_A_FILE_AT_ALL))];
      } else {
        file.gone = OS_FILE_NOT_FOUND;
      }
      break;
    case 9:  // the size changes, the time does not
      if (r->one_in(2) || file.bytes.empty()) {
        file.bytes += "\n";
      } else {
        file.bytes.pop_back();
      }
      break;
    case 10: file.locked = !file.locked; break;  // another program holds it open without sharing
    case 11: file.read_fails = !file.read_fails; break;
    case 12:  // the next read catches a save half written
      file.tear = static_cast<Tear>(1 + r->below(5));
      file.tear_bytes = some_file(r);
      break;
    case 13: file.look_size = file.look_size ? std::nullopt : std::optional<uint64_t>(file.bytes.size() + 7); break;
    case 14: p->beside_known = !p->beside_known; break;
    case 15: {  // the other place's file copied here with its time (unpacked from one archive, a copy that keeps
                // times): the same bytes, or others of the same size
      const File &other = &file == &p->working ? p->beside : p->working;
      file.exists = true;
      file.bytes = other.bytes;
      file.write_ticks = other.write_ticks;
      file.look_size = other.look_size;
      if (r->one_in(2)) {
        std::string changed = ref::generate_file(r);
        changed.resize(file.bytes.size(), '\n');
        file.bytes = changed;
      }
      break;
    }
    default: break;  // only another frame
  }
}

// ---- Frames ----

struct Sequence {
  ref::Random random;
  Platform platform;
  long long heap_grants = -1;  // this frame's heap: requests it grants, or -1 for all
  // The module's side, as the frame loop keeps it.
  Config config{};
  Reload_State state{};
  std::string message;
  ref::Reloader reference;
};

std::string state_text(const Reload_State &st, const Config &config, const std::string &message) {
  std::ostringstream out;
  out << "last_check " << st.last_check << " looked " << st.looked << " last_write " << st.last_write << " last_size "
      << st.last_size << " beside " << st.seen_beside_module << " write_seen " << st.write_seen << " line \"" << message << "\" config";
  const auto *fields = reinterpret_cast<const int32_t *>(&config);
  for (size_t i = 0; i < sizeof(Config) / sizeof(int32_t); i++) out << " " << fields[i];
  return out.str();
}

std::string file_text(const char *name, const File &f) {
  std::ostringstream out;
  out << name << ": exists " << f.exists << " device " << f.device << " (else " << os_error_name(f.gone) << "), time " << f.write_ticks << ", look size " << f.look().size << ", "
      << f.bytes.size() << " bytes, locked " << f.locked << ", read fails " << f.read_fails << ", tear "
      << static_cast<int>(f.tear) << "\n  " << ref::escaped(f.bytes.substr(0, 1000)) << "\n";
  return out.str();
}

bool same_state(const Reload_State &a, const Reload_State &b) {
  return a.last_check == b.last_check && a.looked == b.looked && a.last_write == b.last_write && a.last_size == b.last_size &&
         a.write_seen == b.write_seen && a.seen_beside_module == b.seen_beside_module;
}

// One frame both ways; "" when they agree.
std::string frame(Sequence *s) {
  Platform &p = s->platform;
  ref::Frame_World world{p.now, world_of(p.working), p.beside_known, world_of(p.beside), false};
  std::string before = file_text("working folder", p.working) + file_text("beside the module", p.beside);
  long long refused = failing_heap_refusals;
  // The places as script_main finds them, each frame anew, so that the module's folder may come and go.
  Arena places_arena{};
  Settings_Places places = settings_places(&places_arena);
  Reload_Result result;
  if (s->heap_grants >= 0) {
    runtime_context_destroy();  // every block of this frame comes from the failing heap
    Failing_Heap_Scope heap(s->heap_grants);
    result = update_config(&s->config, &s->state, places);
    runtime_context_destroy();
  } else {
    result = update_config(&s->config, &s->state, places);
    arena_release(frame_scratch());
  }
  arena_destroy(&places_arena);
  world.out_of_memory = failing_heap_refusals != refused;
  p.working.tear = p.beside.tear = Tear::none;  // a tear belongs to one frame's read, or to none
  s->heap_grants = -1;
  if (!result.unchanged) s->message = result.message;

  ref::Frame_Result expected = ref::reload_frame(&s->reference, world);
  bool agree = result.unchanged == expected.unchanged && (result.unchanged || result.message == expected.message) &&
               s->message == s->reference.message && std::memcmp(&s->config, &s->reference.config, sizeof(Config)) == 0 &&
               same_state(s->state, s->reference.state);
  if (agree) return "";
  std::ostringstream out;
  out << "module:    unchanged " << result.unchanged << ", " << state_text(s->state, s->config, s->message) << "\n"
      << "reference: unchanged " << expected.unchanged << ", "
      << state_text(s->reference.state, s->reference.config, s->reference.message) << "\n"
      << "module's folder known " << world.beside_known << ", out of memory " << world.out_of_memory << "; before the frame:\n"
      << before;
  return out.str();
}

TEST(ReloadDifferential, FramesAsTheRulesSay) {
  uint64_t seed = ref::run_seed(), count = ref::run_count(SEQUENCES_PER_RUN);
  std::printf("reload sequences from seed %llu, %llu of them\n", static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(count));
  int failures = 0;
  for (uint64_t i = 0; i < count && failures < 3; i++) {
    auto s = std::make_unique<Sequence>();
    s->random = {seed + i};
    s->platform.working.bytes = ref::generate_file(&s->random);
    s->platform.beside.bytes = ref::generate_file(&s->random);
    s->platform.working.exists = !s->random.one_in(3);
    s->platform.beside.exists = !s->random.one_in(3);
    platform = &s->platform;
    platform_use_services(&DIFF_SERVICES);
    for (int f = 0; f < FRAMES_PER_SEQUENCE; f++) {
      for (uint64_t n = s->random.below(3); n > 0; n--) {
        if (s->random.one_in(16)) {
          s->heap_grants = static_cast<long long>(s->random.below(4));  // the heap refuses this frame's Nth request
        } else {
          event(&s->random, &s->platform);
        }
      }
      std::string difference = frame(s.get());
      if (difference.empty()) continue;
      failures++;
      ADD_FAILURE() << "seed " << seed + i << ", frame " << f << "\n" << difference;
      break;
    }
    platform_use_services(nullptr);
  }
  runtime_context_destroy();
}

}  // namespace
