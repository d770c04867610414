// The scenario parser; see scenario.h for the data and docs/simulated-game.md for the format.
#include "tools/sim/scenario.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <type_traits>
#include <iterator>
#include <span>

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
  int error_line = 0;        // where the first fault is
  bool seen_settings[8] = {};  // by row of SETTINGS: given once
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
  p.error_line = p.line;
  return false;
}

// The fault just recorded is at `line`.
bool scenario_fail_at(Parser &p, int line) {
  p.error_line = line;
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

const Component_Spec *find_component(const Scenario &s, std::string_view name) {
  for (const Component_Spec &c : s.components) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

// ---- Statements as rows: the words, the arguments, and what they make. ----

// The values a statement's arguments matched, by their names in the row's arguments ("COUNT",
// "T0", "M", ...), and its content when it takes one.
struct Arguments {
  static constexpr size_t MAX = 16;
  std::string_view names[MAX];
  std::string_view values[MAX];
  size_t count = 0;
  std::string content;

  std::string_view get(std::string_view name) const {
    for (size_t i = 0; i < count; i++) {
      if (names[i] == name) return values[i];
    }
    return {};
  }
  bool has(std::string_view name) const { return !get(name).empty(); }
};

// An argument is a literal word when it holds no capital letter and no "|" ("palette", "mtime"),
// else a value named by itself ("COUNT", "T0", "corvin|mael|0xHASH", "game|working"); "[...]" is an
// optional group, taken
// when the line holds its first word there; CONTENT is `data "..."` or `<<WORD` with the lines
// after it, up to one that is WORD alone.
bool is_value_token(std::string_view token) {
  return std::any_of(token.begin(), token.end(), [](char c) { return (c >= 'A' && c <= 'Z') || c == '|'; });
}

std::vector<std::string_view> split_pattern(std::string_view pattern) {
  std::vector<std::string_view> tokens;
  for (size_t at = 0; at < pattern.size();) {
    size_t end = pattern.find(' ', at);
    if (end == std::string_view::npos) end = pattern.size();
    if (end > at) tokens.push_back(pattern.substr(at, end - at));
    at = end + 1;
  }
  return tokens;
}

// Reads the content: `data "..."`, or `<<WORD` and the lines up to WORD, which the parser consumes.
bool match_content(Parser &p, std::span<const std::string_view> words, size_t *at, std::string *out) {
  size_t i = *at;
  if (i + 2 == words.size() && words[i] == "data") {
    *at = i + 2;
    return scenario_quoted(p, words[i + 1], out);
  }
  if (i + 1 != words.size() || words[i].size() < 3 || words[i].substr(0, 2) != "<<") {
    return scenario_fail(p, {"expected the content: data \"...\" or <<WORD, then lines, then WORD alone"});
  }
  *at = i + 1;
  std::string_view marker = words[i].substr(2);
  int start_line = p.line;
  std::string_view line;
  while (scenario_next_line(p, &line)) {
    if (line == marker) return true;
    out->append(line);
    out->push_back('\n');
  }
  p.line = start_line;
  return scenario_fail(p, {"the content has no closing line '", marker, "'"});
}

// Matches `words` against the arguments `pattern`; on a mismatch the fault is "expected: USAGE".
bool match_arguments(Parser &p, std::string_view pattern, std::span<const std::string_view> words,
                     std::string_view usage, Arguments *out) {
  std::vector<std::string_view> tokens = split_pattern(pattern);
  size_t at = 0;
  bool in_group = false, skipping = false;
  for (std::string_view token : tokens) {
    if (token.front() == '[') {
      token.remove_prefix(1);
      in_group = true;
      skipping = !(at < words.size() && words[at] == token);  // a group starts with its literal
    }
    bool group_ends = in_group && token.back() == ']';
    if (group_ends) token.remove_suffix(1);
    if (!skipping) {
      if (token == "CONTENT") {
        if (!match_content(p, words, &at, &out->content)) return false;
      } else if (at >= words.size() || (!is_value_token(token) && words[at] != token)) {
        return scenario_fail(p, {"expected: ", usage});
      } else if (is_value_token(token)) {
        if (out->count == Arguments::MAX) return scenario_fail(p, {"expected: ", usage});
        out->names[out->count] = token;
        out->values[out->count++] = words[at++];
      } else {
        at++;
      }
    }
    if (group_ends) in_group = skipping = false;
  }
  if (at != words.size()) return scenario_fail(p, {"expected: ", usage});
  return true;
}

// A setting: the scenario's own values, each given once but for components.
struct Setting_Statement {
  std::string_view words;
  std::string_view arguments;
  bool (*make)(Parser &p, const Arguments &a, Scenario *s);
  bool repeats;
};

bool make_frames(Parser &p, const Arguments &a, Scenario *s) {
  return scenario_integer(p, a.get("COUNT"), 1, MAX_FRAME_COUNT, &s->frame_count);
}

bool make_frame_time(Parser &p, const Arguments &a, Scenario *s) {
  uint64_t us = 0;
  std::string_view word = a.get("DURATION");
  if (!scenario_duration(word, 6, &us) || us == 0 || us > 3600 * uint64_t{1'000'000}) {
    return scenario_fail(p, {"frame time '", word, "' is not a duration from 1us to 1 hour, like 16.667ms"});
  }
  s->frame_time_us = us;
  return true;
}

bool make_start(Parser &p, const Arguments &a, Scenario *s) {
  return scenario_clock(p, a.get("YYYY-MM-DDTHH:MM:SSZ"), &s->clock_start_ticks);
}

bool make_ped(Parser &p, const Arguments &a, Scenario *s) { return scenario_u64(p, a.get("HANDLE"), &s->ped); }

bool make_model(Parser &p, const Arguments &a, Scenario *s) {
  return scenario_named(p, a.get("corvin|mael|0xHASH"), MODEL_NAMES, "model", &s->model);
}

bool make_component(Parser &p, const Arguments &a, Scenario *s) {
  std::string_view name = a.get("NAME");
  if (find_component(*s, name)) return scenario_fail(p, {"component '", name, "' is defined twice"});
  Component_Spec c{};
  c.name = std::string(name);
  bool ok = scenario_named(p, a.get("CATEGORY"), GAME_CATEGORIES, "category", &c.category) &&
            scenario_u32(p, a.get("P"), &c.palette);
  const char *tints[] = {"T0", "T1", "T2"}, *assets[] = {"A1", "A2", "A3", "A4"};
  for (int i = 0; ok && i < 3; i++) ok = scenario_i32(p, a.get(tints[i]), &c.tints[i]);
  for (int i = 0; ok && i < 4; i++) ok = scenario_u32(p, a.get(assets[i]), &c.assets[i]);
  if (ok) s->components.push_back(std::move(c));
  return ok;
}

constexpr Setting_Statement SETTINGS[] = {
    {"frames", "COUNT", make_frames, false},
    {"frame_time", "DURATION", make_frame_time, false},
    {"start", "YYYY-MM-DDTHH:MM:SSZ", make_start, false},
    {"ped", "HANDLE", make_ped, false},
    {"model", "corvin|mael|0xHASH", make_model, false},
    {"component", "NAME CATEGORY palette P tints T0 T1 T2 assets A1 A2 A3 A4", make_component, true},
};
static_assert(std::size(SETTINGS) <= std::extent_v<decltype(Parser::seen_settings)>);

// A step: `at FRAME` and its words; `make` fills in what the arguments give (null: nothing).
struct Step_Statement {
  std::string_view words;
  std::string_view arguments;
  Step_Kind kind;
  bool (*make)(Parser &p, const Arguments &a, const Scenario &s, Step *step);
};

bool make_model_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  return scenario_named(p, a.get("corvin|mael|0xHASH"), MODEL_NAMES, "model", &step->model);
}

bool make_ped_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  return scenario_u64(p, a.get("HANDLE"), &step->ped);
}

bool make_tint_step(Parser &p, const Arguments &a, const Scenario &s, Step *step) {
  std::string_view name = a.get("NAME");
  if (!find_component(s, name)) return scenario_fail(p, {"no component named '", name, "'"});
  step->component = std::string(name);
  const char *tints[] = {"T0", "T1", "T2"};
  for (int i = 0; i < 3; i++) {
    if (!scenario_i32(p, a.get(tints[i]), &step->tints[i])) return false;
  }
  step->set_palette = a.has("P");
  return !step->set_palette || scenario_u32(p, a.get("P"), &step->palette);
}

// The modification time `M`, when given (else the game clock of the step's frame).
bool make_mtime(Parser &p, const Arguments &a, Step *step) { return !a.has("M") || scenario_mtime(p, a.get("M"), &step->mtime); }

bool make_content_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  step->content = a.content;
  return make_mtime(p, a, step);
}

bool make_touch_step(Parser &p, const Arguments &a, const Scenario &, Step *step) { return make_mtime(p, a, step); }

bool make_size_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  return scenario_u64(p, a.get("BYTES"), &step->size) && make_mtime(p, a, step);
}

bool make_clock_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  std::string_view word = a.get("DURATION");
  if (!scenario_duration(word, 7, &step->clock_back_ticks) || step->clock_back_ticks > static_cast<uint64_t>(INT64_MAX)) {
    return scenario_fail(p, {"'", word, "' is not a duration like 3600s or 250ms"});
  }
  return true;
}

bool make_ini_folder_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  std::string_view word = a.get("game|working");
  if (word != "game" && word != "working") return scenario_fail(p, {"ini folder '", word, "' is neither game nor working"});
  step->game_folder = word == "game";
  return true;
}

bool make_heap_step(Parser &p, const Arguments &a, const Scenario &, Step *step) {
  return scenario_integer(p, a.get("COUNT"), 0, INT64_MAX, &step->heap_allowed);
}

constexpr Step_Statement STEPS[] = {
    {"model", "corvin|mael|0xHASH", Step_Kind::model, make_model_step},
    {"ped", "HANDLE", Step_Kind::ped, make_ped_step},
    {"tint", "NAME T0 T1 T2 [palette P]", Step_Kind::tint, make_tint_step},
    {"ini write", "[mtime M] CONTENT", Step_Kind::ini_write, make_content_step},
    {"ini replace", "[mtime M] CONTENT", Step_Kind::ini_replace, make_content_step},
    {"ini torn", "[mtime M] CONTENT", Step_Kind::ini_torn, make_content_step},
    {"ini size", "BYTES [mtime M]", Step_Kind::ini_size, make_size_step},
    {"ini touch", "mtime M", Step_Kind::ini_touch, make_touch_step},
    {"ini read fail", "", Step_Kind::ini_read_fail, nullptr},
    {"ini delete", "", Step_Kind::ini_delete, nullptr},
    {"ini lock", "", Step_Kind::ini_lock, nullptr},
    {"ini unlock", "", Step_Kind::ini_unlock, nullptr},
    {"ini folder", "game|working", Step_Kind::ini_folder, make_ini_folder_step},
    {"working folder delete", "", Step_Kind::working_folder_delete, nullptr},
    {"clock back", "DURATION", Step_Kind::clock_back, make_clock_step},
    {"heap fail after", "COUNT", Step_Kind::heap_fail, make_heap_step},
    {"heap ok", "", Step_Kind::heap_ok, nullptr},
};

// How many of a row's words `line` starts with.
size_t words_matched(std::string_view row_words, std::span<const std::string_view> line) {
  std::vector<std::string_view> words = split_pattern(row_words);
  size_t n = 0;
  while (n < words.size() && n < line.size() && words[n] == line[n]) n++;
  return n == words.size() ? n : std::min(n, words.size() - 1);
}

size_t word_count(std::string_view row_words) { return split_pattern(row_words).size(); }

std::string step_usage(const Step_Statement &row) {
  std::string usage = "at FRAME ";
  usage.append(row.words);
  if (!row.arguments.empty()) usage.append(" ").append(row.arguments);
  return usage;
}

// The fault of a step whose words match no row: the rows it comes closest to say what was meant.
bool fail_unknown_step(Parser &p, std::span<const std::string_view> line) {
  size_t best = 0;
  for (const Step_Statement &row : STEPS) best = std::max(best, words_matched(row.words, line));
  std::string firsts, usages, actions;
  size_t family = 0;
  for (const Step_Statement &row : STEPS) {
    std::string_view first = split_pattern(row.words)[0];
    if (firsts.find(std::string(first) + ",") == std::string::npos) firsts.append(first).append(", ");
    if (best == 0 || words_matched(row.words, line) < 1) continue;
    family++;
    if (word_count(row.words) > 1) actions.append(split_pattern(row.words)[1]).append(", ");
    if (words_matched(row.words, line) == best) usages.append(usages.empty() ? "" : ", or ").append(step_usage(row));
  }
  firsts.resize(firsts.size() - 2);
  if (best == 0) {
    return scenario_fail(p, {"unknown step '", line.empty() ? "" : line[0], "' (", firsts, ")"});
  }
  // A family of many actions (ini): name the action that is not one of them.
  if (best == 1 && family > 3) {
    actions.resize(actions.size() - 2);
    if (line.size() == 1) return scenario_fail(p, {"expected: at FRAME ", line[0], " ACTION ... (", actions, ")"});
    return scenario_fail(p, {"unknown ", line[0], " action '", line[1], "' (", actions, ")"});
  }
  return scenario_fail(p, {"expected: ", usages});
}

// at FRAME WORDS ARGUMENTS
bool parse_step(Parser &p, std::span<const std::string_view> w, Scenario *s) {
  if (w.size() < 3) return scenario_fail(p, {"expected: at FRAME WHAT ..."});
  Step step{};
  step.line = p.line;
  step.mtime = Mtime{true, 0};
  if (!scenario_integer(p, w[1], 0, MAX_FRAME_COUNT - 1, &step.frame)) return false;
  std::span<const std::string_view> line = w.subspan(2);
  for (const Step_Statement &row : STEPS) {
    size_t n = word_count(row.words);
    if (words_matched(row.words, line) != n) continue;
    Arguments a;
    if (!match_arguments(p, row.arguments, line.subspan(n), step_usage(row), &a)) return false;
    step.kind = row.kind;
    // A fault of the values is the statement's, not of the content's last line.
    if (row.make && !row.make(p, a, *s, &step)) return scenario_fail_at(p, step.line);
    s->steps.push_back(std::move(step));
    return true;
  }
  return fail_unknown_step(p, line);
}

bool parse_line(Parser &p, std::span<const std::string_view> w, Scenario *s) {
  if (w[0] == "at") return parse_step(p, w, s);
  for (size_t i = 0; i < std::size(SETTINGS); i++) {
    const Setting_Statement &row = SETTINGS[i];
    if (w[0] != row.words) continue;
    if (!row.repeats && p.seen_settings[i]) return scenario_fail(p, {row.words, " is given twice"});
    p.seen_settings[i] = true;
    Arguments a;
    std::string usage = std::string(row.words) + " " + std::string(row.arguments);
    return match_arguments(p, row.arguments, w.subspan(1), usage, &a) && row.make(p, a, s);
  }
  return scenario_fail(p, {"unknown line '", w[0], "'"});
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
    result.error_line = p.error_line;
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
