// The reloader against the reference's, on the in-memory platform: random sequences of frames with
// events between them (saves of generated files at the current time, an earlier or the same one;
// touches; deletes and restores; size changes; another program's lock; a failed read; a save caught
// half written; the clock set back; a heap that refuses its Nth request), and after every frame
// the result, the line on screen, the Config and the Reload_State compared. A difference names the
// seed of the sequence (MANESHADE_REFERENCE_SEED=<seed> MANESHADE_REFERENCE_COUNT=1).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "runtime/arena.h"
#include "src/config/reload.h"
#include "src/config/settings_file.h"
#include "tests/reference/generator.h"
#include "tests/reference/reference.h"
#include "tests/support/failing_heap.h"
#include "tests/support/fake_platform.h"

namespace {

constexpr uint64_t SEQUENCES_PER_RUN = 400;
constexpr int FRAMES_PER_SEQUENCE = 60;
constexpr uint64_t MS = TICKS_PER_SECOND / 1000;

// What another program does to the file while the module reads it.
enum class Tear { none, new_save, time_moves, look_grows, deleted, same_stamp };

struct File {
  bool exists = true;
  std::string bytes;
  uint64_t write_ticks = 0x01DB'0000'0000'0000;
  std::optional<uint64_t> look_size;  // what a look reports, when not the bytes' size (a save under way)

  ref::Look look() const { return {exists, write_ticks, look_size ? *look_size : bytes.size()}; }
};

void apply_tear(Tear tear, File *file, const std::string &new_bytes) {
  switch (tear) {
    case Tear::new_save:
      file->bytes = new_bytes;
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
}

struct Sequence {
  ref::Random random;
  Fake_Platform fake;
  File file;
  bool locked = false, read_fails = false;
  Tear tear = Tear::none;
  std::string tear_bytes;
  long long heap_grants = -1;  // this frame's heap: requests it grants, or -1 for all
  // The module's side, as the frame loop keeps it.
  Config config{};
  Reload_State state{};
  std::string message;
  ref::Reloader reference;
};

// The file as the platform shows it.
void show(Sequence *s) {
  s->fake.exists = s->file.exists;
  s->fake.bytes = s->file.bytes;
  s->fake.write_ticks = s->file.write_ticks;
  s->fake.stamp_size = s->file.look_size;
  s->fake.open_error = s->locked ? OS_SHARING_VIOLATION : OS_OK;
  s->fake.read_error = s->read_fails ? OS_IO_ERROR : OS_OK;
}

// A settings file, mostly one the module installs, sometimes about the size bound.
std::string some_file(ref::Random *r) {
  std::string bytes = ref::generate_file(r);
  if (r->one_in(25)) {
    const uint64_t sizes[] = {(1 << 20) - 1, 1 << 20, (1 << 20) + 1, 3 << 20};
    size_t size = sizes[r->below(std::size(sizes))];
    if (bytes.size() + 2 < size) bytes = ";" + std::string(size - bytes.size() - 2, 'x') + "\n" + bytes;
  }
  return bytes;
}

void event(Sequence *s) {
  ref::Random *r = &s->random;
  uint64_t &now = s->fake.now;
  switch (r->below(16)) {
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
      s->file.bytes = some_file(r);
      s->file.look_size.reset();
      const uint64_t times[] = {now, now - TICKS_PER_SECOND, s->file.write_ticks, s->file.write_ticks + 1, 0};
      s->file.write_ticks = times[r->below(std::size(times))];
      break;
    }
    case 7: s->file.write_ticks = r->one_in(2) ? now : s->file.write_ticks + 1; break;  // a touch
    case 8: s->file.exists = !s->file.exists; break;                                   // deleted, or back
    case 9:  // the size changes, the time does not
      if (r->one_in(2) || s->file.bytes.empty()) {
        s->file.bytes += "\n";
      } else {
        s->file.bytes.pop_back();
      }
      break;
    case 10: s->locked = !s->locked; break;  // another program holds it open without sharing
    case 11: s->read_fails = !s->read_fails; break;
    case 12: {  // the next read catches a save half written
      s->tear = static_cast<Tear>(1 + r->below(5));
      s->tear_bytes = some_file(r);
      break;
    }
    case 13: s->file.look_size = s->file.look_size ? std::nullopt : std::optional<uint64_t>(s->file.bytes.size() + 7); break;
    case 14: s->heap_grants = static_cast<long long>(r->below(4)); break;  // the heap refuses this frame's Nth request
    default: break;  // only another frame
  }
}

std::string state_text(const Reload_State &st, const Config &config, const std::string &message) {
  std::ostringstream out;
  out << "last_check " << st.last_check << " looked " << st.looked << " last_write " << st.last_write << " last_size "
      << st.last_size << " write_seen " << st.write_seen << " line \"" << message << "\" config";
  const auto *fields = reinterpret_cast<const int32_t *>(&config);
  for (size_t i = 0; i < sizeof(Config) / sizeof(int32_t); i++) out << " " << fields[i];
  return out.str();
}

bool same_state(const Reload_State &a, const Reload_State &b) {
  return a.last_check == b.last_check && a.looked == b.looked && a.last_write == b.last_write && a.last_size == b.last_size &&
         a.write_seen == b.write_seen;
}

// One frame both ways; "" when they agree.
std::string frame(Sequence *s) {
  show(s);
  File before = s->file;
  File after = s->file;
  apply_tear(s->tear, &after, s->tear_bytes);
  Tear tear = s->tear;
  s->fake.during_read = [&](Fake_Platform &fake) {
    apply_tear(tear, &s->file, s->tear_bytes);
    show(s);
    (void)fake;
  };
  long long refused = failing_heap_refusals;
  Reload_Result result;
  if (s->heap_grants >= 0) {
    runtime_context_destroy();  // every block of this frame comes from the failing heap
    Failing_Heap_Scope heap(s->heap_grants);
    result = update_config(&s->config, &s->state);
    runtime_context_destroy();
  } else {
    result = update_config(&s->config, &s->state);
    arena_release(frame_scratch());
  }
  bool out_of_memory = failing_heap_refusals != refused;
  s->fake.during_read = nullptr;
  s->tear = Tear::none;  // a tear belongs to one frame's read, or to none
  s->heap_grants = -1;
  if (!result.unchanged) s->message = result.message;

  ref::Frame_World world{s->fake.now, before.look(), !s->locked, !s->read_fails, before.bytes, after.look(), out_of_memory};
  ref::Frame_Result expected = ref::reload_frame(&s->reference, world);
  bool agree = result.unchanged == expected.unchanged && (result.unchanged || result.message == expected.message) &&
               s->message == s->reference.message && std::memcmp(&s->config, &s->reference.config, sizeof(Config)) == 0 &&
               same_state(s->state, s->reference.state);
  if (agree) return "";
  std::ostringstream out;
  out << "module:    unchanged " << result.unchanged << ", " << state_text(s->state, s->config, s->message) << "\n"
      << "reference: unchanged " << expected.unchanged << ", "
      << state_text(s->reference.state, s->reference.config, s->reference.message) << "\n"
      << "the file before the frame: exists " << before.exists << ", time " << before.write_ticks << ", look size "
      << before.look().size << ", " << before.bytes.size() << " bytes, locked " << s->locked << ", read fails " << s->read_fails
      << ", tear " << static_cast<int>(tear) << ", out of memory " << out_of_memory << "\n  " << ref::escaped(before.bytes.substr(0, 2000));
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
    s->file.bytes = ref::generate_file(&s->random);
    fake_platform_install(&s->fake);
    for (int f = 0; f < FRAMES_PER_SEQUENCE; f++) {
      for (uint64_t n = s->random.below(3); n > 0; n--) event(s.get());
      std::string difference = frame(s.get());
      if (difference.empty()) continue;
      failures++;
      ADD_FAILURE() << "seed " << seed + i << ", frame " << f << "\n" << difference;
      break;
    }
    fake_platform_remove();
  }
  runtime_context_destroy();
}

}  // namespace
