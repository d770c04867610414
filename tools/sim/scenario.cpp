// The scenario parser; see scenario.h for the data and docs/simulated-game.md for the format.
#include "tools/sim/scenario.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <cstdio>

#include "tools/game/game_interface.h"

namespace {

struct Named_Model {
  uint32_t hash;
  const char *name;
};

// The models by the names that scenarios give them (categories go by the game's names, GAME_CATEGORIES).
constexpr Named_Model MODEL_NAMES[] = {{GAME_MODEL_CORVIN, "corvin"}, {GAME_MODEL_MAEL, "mael"}};

constexpr int64_t SECONDS_1601_TO_1970 = 11'644'473'600;

struct Parser {
  std::string_view text;
  size_t at = 0;
  int line = 0;
  std::string error;
  bool seen_frames = false, seen_frame_time = false, seen_start = false, seen_ped = false, seen_model = false;
};

bool scenario_next_line(Parser &p, std::string_view *out) {
  if (p.at >= p.text.size()) return false;
  size_t end = p.text.find('\n', p.at);
  if (end == std::string_view::npos) end = p.text.size();
  std::string_view line = p.text.substr(p.at, end - p.at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  p.at = end + 1;
  p.line++;
  *out = line;
  return true;
}

// Records the first fault, joined from its parts (appended one by one: GCC 12 warns wrongly about
// chains of std::string additions).
bool scenario_fail(Parser &p, std::initializer_list<std::string_view> parts) {
  if (!p.error.empty()) return false;
  for (std::string_view part : parts) p.error.append(part);
  return false;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Splits a line into words; a word that starts with a double quote runs to the closing quote (with
// backslash escapes kept for decoding later). A "#" at the start of a word starts a comment.
bool scenario_split(Parser &p, std::string_view line, std::vector<std::string_view> *words) {
  size_t i = 0;
  while (i < line.size()) {
    if (is_blank(line[i])) {
      i++;
      continue;
    }
    if (line[i] == '#') break;
    size_t start = i;
    if (line[i] == '"') {
      i++;
      while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
      if (i >= line.size()) return scenario_fail(p, {"unterminated quoted text"});
      i++;
    } else {
      while (i < line.size() && !is_blank(line[i])) i++;
    }
    words->push_back(line.substr(start, i - start));
  }
  return true;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "..." with \n \r \t \0 \\ \" and \xNN escapes, into exact bytes.
bool scenario_quoted(Parser &p, std::string_view word, std::string *out) {
  if (word.size() < 2 || word.front() != '"' || word.back() != '"') {
    return scenario_fail(p, {"expected quoted text, got '", word, "'"});
  }
  std::string_view inner = word.substr(1, word.size() - 2);
  out->clear();
  for (size_t i = 0; i < inner.size(); i++) {
    if (inner[i] != '\\') {
      out->push_back(inner[i]);
      continue;
    }
    char e = ++i < inner.size() ? inner[i] : '\0';
    switch (e) {
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case '0': out->push_back('\0'); break;
      case '\\': out->push_back('\\'); break;
      case '"': out->push_back('"'); break;
      case 'x': {
        int hi = i + 1 < inner.size() ? hex_digit(inner[i + 1]) : -1;
        int lo = i + 2 < inner.size() ? hex_digit(inner[i + 2]) : -1;
        if (hi < 0 || lo < 0) return scenario_fail(p, {"\\x needs two hexadecimal digits"});
        out->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return scenario_fail(p, {"unknown escape in quoted text"});
    }
  }
  return true;
}

// A decimal or 0x-hexadecimal integer with an optional sign, within [lo, hi].
bool scenario_integer(Parser &p, std::string_view word, int64_t lo, int64_t hi, int64_t *out) {
  std::string_view digits = word;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  bool whole = !digits.empty() && ec == std::errc{} && end == digits.data() + digits.size();
  // Two's complement lets a full 64-bit hexadecimal pattern through when hi allows it.
  int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  bool fits = whole && (negative ? magnitude <= uint64_t{1} << 63 && value >= lo
                                 : magnitude <= static_cast<uint64_t>(INT64_MAX) && value <= hi && value >= lo);
  if (!fits) {
    return scenario_fail(p, {"'", word, "' is not an integer from ", std::to_string(lo), " to ", std::to_string(hi)});
  }
  *out = value;
  return true;
}

bool scenario_u32(Parser &p, std::string_view word, uint32_t *out) {
  int64_t v = 0;
  if (!scenario_integer(p, word, 0, UINT32_MAX, &v)) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

bool scenario_i32(Parser &p, std::string_view word, int32_t *out) {
  int64_t v = 0;
  if (!scenario_integer(p, word, INT32_MIN, INT32_MAX, &v)) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// A handle: any 64-bit pattern, written in hexadecimal or decimal.
bool scenario_u64(Parser &p, std::string_view word, uint64_t *out) {
  std::string_view digits = word;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *out, base);
  if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()) {
    return scenario_fail(p, {"'", word, "' is not a 64-bit handle"});
  }
  return true;
}

// "<digits>[.<digits>]" scaled by 10^decimals into an integer, refusing finer fractions.
bool scenario_fixed(std::string_view digits, int decimals, uint64_t *out) {
  size_t dot = digits.find('.');
  std::string_view whole = digits.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view{} : digits.substr(dot + 1);
  if (whole.empty() || (dot != std::string_view::npos && fraction.empty())) return false;
  if (fraction.size() > static_cast<size_t>(decimals)) return false;
  uint64_t value = 0;
  for (char c : whole) {
    if (c < '0' || c > '9' || value > UINT64_MAX / 100) return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  for (int i = 0; i < decimals; i++) {
    char c = static_cast<size_t>(i) < fraction.size() ? fraction[i] : '0';
    if (c < '0' || c > '9' || value > UINT64_MAX / 100) return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  *out = value;
  return true;
}

// A duration "<number>s" or "<number>ms" in units of 10^-decimals_per_second seconds.
bool scenario_duration(std::string_view word, int decimals_per_second, uint64_t *out) {
  if (word.size() > 2 && word.substr(word.size() - 2) == "ms") {
    return scenario_fixed(word.substr(0, word.size() - 2), decimals_per_second - 3, out);
  }
  if (word.size() > 1 && word.back() == 's') return scenario_fixed(word.substr(0, word.size() - 1), decimals_per_second, out);
  return false;
}

bool scenario_mtime(Parser &p, std::string_view word, Mtime *out) {
  if (word == "now") {
    *out = Mtime{true, 0};
    return true;
  }
  uint64_t ticks = 0;
  bool ok = word.size() > 1 && (word[0] == '+' || word[0] == '-') && scenario_duration(word.substr(1), 7, &ticks) &&
            ticks <= static_cast<uint64_t>(INT64_MAX);
  if (!ok) {
    return scenario_fail(p, {"modification time '", word, "' is neither 'now' nor an offset like +3.5s or -250ms"});
  }
  *out = Mtime{false, word[0] == '-' ? -static_cast<int64_t>(ticks) : static_cast<int64_t>(ticks)};
  return true;
}

int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool scenario_clock(Parser &p, std::string_view word, uint64_t *out) {
  // YYYY-MM-DDTHH:MM:SSZ, UTC.
  auto field = [&](size_t at, size_t len, int64_t lo, int64_t hi, int64_t *v) {
    if (at + len > word.size()) return false;
    int64_t value = 0;
    for (size_t i = at; i < at + len; i++) {
      if (word[i] < '0' || word[i] > '9') return false;
      value = value * 10 + (word[i] - '0');
    }
    *v = value;
    return value >= lo && value <= hi;
  };
  int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  bool ok = word.size() == 20 && word[4] == '-' && word[7] == '-' && word[10] == 'T' && word[13] == ':' &&
            word[16] == ':' && word[19] == 'Z' && field(0, 4, 1601, 9999, &y) && field(5, 2, 1, 12, &mo) &&
            field(8, 2, 1, 31, &d) && field(11, 2, 0, 23, &h) && field(14, 2, 0, 59, &mi) && field(17, 2, 0, 59, &s);
  if (ok) {
    // A day beyond the month's end would roll over: refuse it.
    int64_t days = days_from_civil(y, mo, d);
    int64_t next_month = mo == 12 ? days_from_civil(y + 1, 1, 1) : days_from_civil(y, mo + 1, 1);
    ok = days < next_month;
    int64_t seconds = days * 86400 + h * 3600 + mi * 60 + s + SECONDS_1601_TO_1970;
    *out = static_cast<uint64_t>(seconds) * CLOCK_TICKS_PER_SECOND;
  }
  if (!ok) return scenario_fail(p, {"clock start '", word, "' is not a UTC time like 2026-01-01T00:00:00Z"});
  return true;
}

// A name of `names` (rows with a name and a hash), or a 0x hash.
template <typename Named, size_t count>
bool scenario_named(Parser &p, std::string_view word, const Named (&names)[count], const char *what, uint32_t *out) {
  for (const Named &named : names) {
    if (word == named.name) {
      *out = named.hash;
      return true;
    }
  }
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) return scenario_u32(p, word, out);
  return scenario_fail(p, {"unknown ", what, " '", word, "' (a name or a 0x hash)"});
}

bool expect_count(Parser &p, const std::vector<std::string_view> &w, size_t n, const char *usage) {
  if (w.size() == n) return true;
  return scenario_fail(p, {"expected: ", usage});
}

const Component_Spec *find_component(const Scenario &s, std::string_view name) {
  for (const Component_Spec &c : s.components) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

bool once(Parser &p, bool *seen, const char *what) {
  if (!*seen) {
    *seen = true;
    return true;
  }
  return scenario_fail(p, {what, " is given twice"});
}

// component NAME CATEGORY palette P tints T0 T1 T2 assets A1 A2 A3 A4
bool parse_component(Parser &p, const std::vector<std::string_view> &w, Scenario *s) {
  const char *usage = "component NAME CATEGORY palette P tints T0 T1 T2 assets A1 A2 A3 A4";
  if (!expect_count(p, w, 14, usage)) return false;
  if (w[3] != "palette" || w[5] != "tints" || w[9] != "assets") return scenario_fail(p, {"expected: ", usage});
  if (find_component(*s, w[1])) return scenario_fail(p, {"component '", w[1], "' is defined twice"});
  Component_Spec c{};
  c.name = std::string(w[1]);
  bool ok = scenario_named(p, w[2], GAME_CATEGORIES, "category", &c.category) &&
            scenario_u32(p, w[4], &c.palette);
  for (int i = 0; ok && i < 3; i++) ok = scenario_i32(p, w[6 + i], &c.tints[i]);
  for (int i = 0; ok && i < 4; i++) ok = scenario_u32(p, w[10 + i], &c.assets[i]);
  if (!ok) return false;
  s->components.push_back(std::move(c));
  return true;
}

// Reads the content of an ini write or replace: `data "..."` or `<<WORD` with the lines up to WORD.
bool parse_content(Parser &p, const std::vector<std::string_view> &w, size_t at, Step *step) {
  if (at + 2 == w.size() && w[at] == "data") return scenario_quoted(p, w[at + 1], &step->content);
  if (at + 1 != w.size() || w[at].size() < 3 || w[at].substr(0, 2) != "<<") {
    return scenario_fail(p, {"expected the content: data \"...\" or <<WORD, then lines, then WORD alone"});
  }
  std::string_view marker = w[at].substr(2);
  int start_line = p.line;
  std::string_view line;
  while (scenario_next_line(p, &line)) {
    if (line == marker) return true;
    step->content.append(line);
    step->content.push_back('\n');
  }
  p.line = start_line;
  return scenario_fail(p, {"the content has no closing line '", marker, "'"});
}

// at FRAME clock back DURATION
bool parse_clock_step(Parser &p, const std::vector<std::string_view> &w, Scenario *s, Step *step) {
  step->kind = Step_Kind::clock_back;
  const char *usage = "at FRAME clock back DURATION (like 3600s or 250ms)";
  if (w.size() != 5 || w[3] != "back") return scenario_fail(p, {"expected: ", usage});
  uint64_t *ticks = &step->clock_back_ticks;
  if (!scenario_duration(w[4], 7, ticks) || *ticks > static_cast<uint64_t>(INT64_MAX)) {
    return scenario_fail(p, {"'", w[4], "' is not a duration like 3600s or 250ms"});
  }
  s->steps.push_back(std::move(*step));
  return true;
}

// at FRAME heap fail after COUNT | at FRAME heap ok
bool parse_heap_step(Parser &p, const std::vector<std::string_view> &w, Scenario *s, Step *step) {
  if (w.size() == 4 && w[3] == "ok") {
    step->kind = Step_Kind::heap_ok;
  } else if (w.size() == 6 && w[3] == "fail" && w[4] == "after") {
    step->kind = Step_Kind::heap_fail;
    if (!scenario_integer(p, w[5], 0, INT64_MAX, &step->heap_allowed)) return false;
  } else {
    return scenario_fail(p, {"expected: at FRAME heap fail after COUNT, or at FRAME heap ok"});
  }
  s->steps.push_back(std::move(*step));
  return true;
}

// at FRAME ...
bool parse_step(Parser &p, const std::vector<std::string_view> &w, Scenario *s) {
  if (w.size() < 3) return scenario_fail(p, {"expected: at FRAME WHAT ..."});
  Step step{};
  step.line = p.line;
  step.mtime = Mtime{true, 0};
  if (!scenario_integer(p, w[1], 0, MAX_FRAME_COUNT - 1, &step.frame)) return false;
  std::string_view what = w[2];
  if (what == "model") {
    step.kind = Step_Kind::model;
    return expect_count(p, w, 4, "at FRAME model NAME|0xHASH") &&
           scenario_named(p, w[3], MODEL_NAMES, "model", &step.model) &&
           (s->steps.push_back(std::move(step)), true);
  }
  if (what == "ped") {
    step.kind = Step_Kind::ped;
    return expect_count(p, w, 4, "at FRAME ped HANDLE") && scenario_u64(p, w[3], &step.ped) &&
           (s->steps.push_back(std::move(step)), true);
  }
  if (what == "tint") {
    step.kind = Step_Kind::tint;
    const char *usage = "at FRAME tint COMPONENT T0 T1 T2 [palette P]";
    if (w.size() != 7 && !(w.size() == 9 && w[7] == "palette")) return scenario_fail(p, {"expected: ", usage});
    if (!find_component(*s, w[3])) return scenario_fail(p, {"no component named '", w[3], "'"});
    step.component = std::string(w[3]);
    for (int i = 0; i < 3; i++) {
      if (!scenario_i32(p, w[4 + i], &step.tints[i])) return false;
    }
    step.set_palette = w.size() == 9;
    if (step.set_palette && !scenario_u32(p, w[8], &step.palette)) return false;
    s->steps.push_back(std::move(step));
    return true;
  }
  if (what == "clock") return parse_clock_step(p, w, s, &step);
  if (what == "heap") return parse_heap_step(p, w, s, &step);
  if (what != "ini") return scenario_fail(p, {"unknown step '", what, "' (model, ped, tint, clock, heap or ini)"});
  if (w.size() < 4) {
    return scenario_fail(p, {"expected: at FRAME ini write|replace|torn|read|size|delete|touch|lock|unlock ..."});
  }
  std::string_view action = w[3];
  size_t next = 4;
  if (action == "size") {
    step.kind = Step_Kind::ini_size;
    const char *usage = "at FRAME ini size BYTES [mtime now|+SECONDSs]";
    if (w.size() != 5 && !(w.size() == 7 && w[5] == "mtime")) return scenario_fail(p, {"expected: ", usage});
    if (!scenario_u64(p, w[4], &step.size)) return false;
    if (w.size() == 7 && !scenario_mtime(p, w[6], &step.mtime)) return false;
    s->steps.push_back(std::move(step));
    return true;
  }
  if (action == "write" || action == "replace" || action == "touch" || action == "torn") {
    step.kind = action == "write"     ? Step_Kind::ini_write
                : action == "replace" ? Step_Kind::ini_replace
                : action == "torn"    ? Step_Kind::ini_torn
                                      : Step_Kind::ini_touch;
    if (next + 1 < w.size() && w[next] == "mtime") {
      if (!scenario_mtime(p, w[next + 1], &step.mtime)) return false;
      next += 2;
    } else if (step.kind == Step_Kind::ini_touch) {
      return scenario_fail(p, {"expected: at FRAME ini touch mtime now|+SECONDSs"});
    }
    if (step.kind == Step_Kind::ini_touch) {
      if (!expect_count(p, w, next, "at FRAME ini touch mtime now|+SECONDSs")) return false;
    } else if (!parse_content(p, w, next, &step)) {
      return false;
    }
  } else if (action == "read") {
    step.kind = Step_Kind::ini_read_fail;
    if (!expect_count(p, w, 5, "at FRAME ini read fail") || w[4] != "fail") {
      return scenario_fail(p, {"expected: at FRAME ini read fail"});
    }
  } else if (action == "delete" || action == "lock" || action == "unlock") {
    step.kind = action == "delete" ? Step_Kind::ini_delete : action == "lock" ? Step_Kind::ini_lock : Step_Kind::ini_unlock;
    if (!expect_count(p, w, 4, "at FRAME ini delete|lock|unlock")) return false;
  } else {
    return scenario_fail(
        p, {"unknown ini action '", action, "' (write, replace, torn, read, size, delete, touch, lock, unlock)"});
  }
  s->steps.push_back(std::move(step));
  return true;
}

bool parse_line(Parser &p, const std::vector<std::string_view> &w, Scenario *s) {
  std::string_view key = w[0];
  int64_t v = 0;
  if (key == "frames") {
    if (!once(p, &p.seen_frames, "frames") || !expect_count(p, w, 2, "frames COUNT")) return false;
    if (!scenario_integer(p, w[1], 1, MAX_FRAME_COUNT, &v)) return false;
    s->frame_count = v;
    return true;
  }
  if (key == "frame_time") {
    if (!once(p, &p.seen_frame_time, "frame_time") || !expect_count(p, w, 2, "frame_time 16.667ms|0.05s")) return false;
    uint64_t us = 0;
    if (!scenario_duration(w[1], 6, &us) || us == 0 || us > 3600 * uint64_t{1'000'000}) {
      return scenario_fail(p, {"frame time '", w[1], "' is not a duration from 1us to 1 hour, like 16.667ms"});
    }
    s->frame_time_us = us;
    return true;
  }
  if (key == "start") {
    return once(p, &p.seen_start, "start") && expect_count(p, w, 2, "start YYYY-MM-DDTHH:MM:SSZ") &&
           scenario_clock(p, w[1], &s->clock_start_ticks);
  }
  if (key == "ped") {
    return once(p, &p.seen_ped, "ped") && expect_count(p, w, 2, "ped HANDLE") && scenario_u64(p, w[1], &s->ped);
  }
  if (key == "model") {
    return once(p, &p.seen_model, "model") && expect_count(p, w, 2, "model NAME|0xHASH") &&
           scenario_named(p, w[1], MODEL_NAMES, "model", &s->model);
  }
  if (key == "component") return parse_component(p, w, s);
  if (key == "at") return parse_step(p, w, s);
  return scenario_fail(p, {"unknown line '", key, "'"});
}

// The clock steps may set the game clock back to 1601-01-01 at the earliest: FILETIME has no earlier time.
void scenario_check_clock(Parser &p, const Scenario &scenario) {
  uint64_t set_back = 0;
  for (const Step &step : scenario.steps) {
    if (step.kind != Step_Kind::clock_back) continue;
    uint64_t frame_ticks = static_cast<uint64_t>(step.frame) * scenario.frame_time_us * CLOCK_TICKS_PER_MICROSECOND;
    set_back += step.clock_back_ticks;  // each at most INT64_MAX, and the sum so far at most a clock
    if (set_back <= scenario.clock_start_ticks + frame_ticks) continue;
    p.line = step.line;
    scenario_fail(p, {"the clock would be set back before 1601-01-01"});
    return;
  }
}

}  // namespace

Scenario_Result parse_scenario(std::string_view text) {
  Parser p;
  p.text = text;
  Scenario_Result result{};
  std::string_view line;
  while (scenario_next_line(p, &line)) {
    std::vector<std::string_view> words;
    if (!scenario_split(p, line, &words)) break;
    if (words.empty()) continue;
    if (!parse_line(p, words, &result.scenario)) break;
  }
  Scenario &scenario = result.scenario;
  if (p.error.empty()) {
    for (const Step &step : scenario.steps) {
      if (step.frame < scenario.frame_count) continue;
      p.line = step.line;
      scenario_fail(p, {"step at frame ", std::to_string(step.frame), " is after the last frame, ",
                        std::to_string(scenario.frame_count - 1)});
      break;
    }
  }
  std::stable_sort(scenario.steps.begin(), scenario.steps.end(),
                   [](const Step &a, const Step &b) { return a.frame < b.frame; });
  if (p.error.empty()) scenario_check_clock(p, scenario);
  if (!p.error.empty()) {
    result.ok = false;
    result.error_line = p.line;
    result.error = p.error;
    return result;
  }
  result.ok = true;
  return result;
}

const char *category_name(uint32_t category) {
  for (const Game_Category &c : GAME_CATEGORIES) {
    if (c.hash == category) return c.name;
  }
  return nullptr;
}

std::string format_clock(uint64_t ticks) {
  int64_t seconds = static_cast<int64_t>(ticks / CLOCK_TICKS_PER_SECOND) - SECONDS_1601_TO_1970;
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t rem = seconds - days * 86400;
  // civil_from_days
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", static_cast<int>(y), static_cast<int>(m),
                static_cast<int>(d), static_cast<int>(rem / 3600), static_cast<int>(rem / 60 % 60),
                static_cast<int>(rem % 60));
  return text;
}
