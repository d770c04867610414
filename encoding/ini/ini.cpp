// The INI reader; the contracts and the syntax are described in ini.h.
#include "encoding/ini/ini.h"

#include <cstring>

#include "runtime/text.h"
#include "runtime/utf8.h"

namespace {

constexpr std::string_view INI_UTF8_BOM = "\xEF\xBB\xBF";

// A decoded literal is at most three bytes for each byte of its inner text: an invalid byte becomes
// U+FFFD, and every escape is shorter than what it writes.
constexpr size_t INI_DECODE_MAX_GROWTH = 3;

// The tables start at these many slots, and double when they would be more than three quarters full.
// A map's table of sections starts small (a settings file has two), and a section's first table has
// room for a settings file's sixteen keys, so that they are hashed into it once.
constexpr uint32_t INI_SECTIONS_FIRST_SLOTS = 8;
constexpr uint32_t INI_PAIRS_FIRST_SLOTS = 32;

// A section's pairs get a table once it holds this many: below, its list is searched (most sections
// of most files hold a handful of keys).
constexpr uint32_t INI_TABLE_FROM_PAIRS = 6;

// So a section's first table holds its pairs within three quarters, as every table after it does
// by doubling once (ini_make_room).
static_assert(INI_TABLE_FROM_PAIRS * 4 <= INI_PAIRS_FIRST_SLOTS * 3);

// The map's arena starts with a block of about twice the text, within these bounds, and grows
// from there: a settings file takes one small block, a large text few large ones.
constexpr size_t INI_ARENA_MIN_BLOCK_BYTES = 0x2000;

const char *ini_find(const char *at, const char *end, char c) {
  if (at >= end) return nullptr;
  return static_cast<const char *>(std::memchr(at, c, static_cast<size_t>(end - at)));
}

int ini_octal_digit(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

int ini_hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads exactly `count` hexadecimal digits at `*at` into `*value`.
bool ini_read_hex(const char **at, const char *end, int count, uint32_t *value) {
  if (end - *at < count) return false;
  uint32_t v = 0;
  for (int i = 0; i < count; i++) {
    int digit = ini_hex_digit((*at)[i]);
    if (digit < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(digit);
  }
  *at += count;
  *value = v;
  return true;
}

bool ini_is_plain_byte(unsigned char byte) { return byte != '"' && byte != '\\' && byte < 0x80; }

// Decodes the inner text of a quoted literal that holds a backslash or a double quote into `out`
// (room for INI_DECODE_MAX_GROWTH bytes per byte of `inner`); returns the byte count, or SIZE_MAX
// when it is not a literal after all.
size_t ini_decode_escaped(std::string_view inner, char *out) {
  constexpr size_t NOT_A_LITERAL = SIZE_MAX;
  size_t n = 0;
  const char *at = inner.data();
  const char *end = at + inner.size();
  while (at < end) {
    const char *run = at;
    while (at < end && ini_is_plain_byte(static_cast<unsigned char>(*at))) at++;
    std::memcpy(out + n, run, static_cast<size_t>(at - run));
    n += static_cast<size_t>(at - run);
    if (at == end) break;

    unsigned char byte = static_cast<unsigned char>(*at);
    if (byte == '"') return NOT_A_LITERAL;
    if (byte >= 0x80) {
      Utf8_Decoded d = utf8_decode(at, end);
      at += d.size;
      n += utf8_encode(d.code_point, out + n);
      continue;
    }
    at++;  // the backslash
    if (at == end) return NOT_A_LITERAL;
    char escape = *at++;
    uint32_t value = 0;
    switch (escape) {
      case 'a': out[n++] = '\a'; break;
      case 'b': out[n++] = '\b'; break;
      case 'f': out[n++] = '\f'; break;
      case 'n': out[n++] = '\n'; break;
      case 'r': out[n++] = '\r'; break;
      case 't': out[n++] = '\t'; break;
      case 'v': out[n++] = '\v'; break;
      case '\\':
      case '"':
      case '\'': out[n++] = escape; break;
      case 'x':
        if (!ini_read_hex(&at, end, 2, &value)) return NOT_A_LITERAL;
        out[n++] = static_cast<char>(value);
        break;
      case 'u':
        if (!ini_read_hex(&at, end, 4, &value)) return NOT_A_LITERAL;
        n += utf8_encode(value, out + n);
        break;
      case 'U':
        if (!ini_read_hex(&at, end, 8, &value) || value > MAX_CODE_POINT) return NOT_A_LITERAL;
        n += utf8_encode(value, out + n);
        break;
      default: {
        // Three octal digits, the first being `escape`.
        int d0 = ini_octal_digit(escape);
        if (d0 < 0 || end - at < 2) return NOT_A_LITERAL;
        int d1 = ini_octal_digit(at[0]);
        int d2 = ini_octal_digit(at[1]);
        if (d1 < 0 || d2 < 0) return NOT_A_LITERAL;
        int octal = d0 * 64 + d1 * 8 + d2;
        if (octal > 255) return NOT_A_LITERAL;
        at += 2;
        out[n++] = static_cast<char>(octal);
        break;
      }
    }
  }
  return n;
}

// The unquoted form of `text`: `text` itself, a part of it, or its decoding in `arena` (then
// `*in_arena` is set, when asked). False only when `arena` has no room.
bool ini_unquote_view(Arena *arena, std::string_view text, std::string_view *out, bool *in_arena = nullptr) {
  *out = text;
  if (in_arena) *in_arena = false;
  if (text.empty() || (text[0] != '"' && text[0] != '\'')) return true;
  // A literal ends with the quote it starts with; anything else is kept as written.
  if (text.size() < 2 || text.back() != text[0]) return true;
  std::string_view inner = text.substr(1, text.size() - 2);
  const char *begin = inner.data();
  const char *end = begin + inner.size();
  if (ini_find(begin, end, '\n')) return true;
  if (!ini_find(begin, end, '\\') && !ini_find(begin, end, '"')) {
    *out = inner;
    return true;
  }
  char *decoded = arena_push_array<char>(arena, inner.size() * INI_DECODE_MAX_GROWTH);
  if (!decoded) return false;
  size_t n = ini_decode_escaped(inner, decoded);
  if (n == SIZE_MAX) return true;
  *out = {decoded, n};
  if (in_arena) *in_arena = true;
  return true;
}

// The position of the key/value separator in `line`, or npos when the line has none. The "=" of the
// first " =" separates unless a double quote comes before it anywhere but at the line's start: that
// lets a quoted key hold "=".
size_t ini_find_separator(std::string_view line) {
  const char *begin = line.data();
  const char *end = begin + line.size();
  const char *first = ini_find(begin, end, '=');
  if (!first) return std::string_view::npos;
  const char *spaced = first;
  while (spaced && !(spaced > begin && spaced[-1] == ' ')) {
    // A run of "=" is passed over here, not one search per byte.
    const char *next = spaced + 1;
    while (next < end && *next == '=') next++;
    spaced = ini_find(next, end, '=');
  }
  if (!spaced) return static_cast<size_t>(first - begin);
  const char *space = spaced - 1;
  if (begin[0] == '"' || !ini_find(begin, space, '"')) return static_cast<size_t>(spaced - begin);
  return static_cast<size_t>(first - begin);
}

bool ini_starts_with_quote(std::string_view text) { return !text.empty() && (text[0] == '"' || text[0] == '\''); }

// The key and value of a pair line as the map stores them, in the iterator's arena when they had to
// be decoded or lowercased. False when the arena has no room.
bool ini_pair(Ini_Iterator *it, std::string_view line, size_t separator, Ini_Line *out) {
  out->written_key = trim_white_space(line.substr(0, separator));
  std::string_view key = out->written_key;
  if (ini_starts_with_quote(key) && !ini_unquote_view(it->arena, out->written_key, &key)) return false;
  if (it->options.lowercase_keys && !is_lower_ascii(key)) {
    key = lower_from_utf8(it->arena, key);
    if (!key.data()) return false;
  }
  out->key = key;
  out->value = trim_white_space(line.substr(separator + 1));
  return !ini_starts_with_quote(out->value) || ini_unquote_view(it->arena, out->value, &out->value);
}

// The next line, by the reader's rules; ini_next_line. Inline, so that the map's loop has its own
// copy without a call per line.
inline bool ini_read_line(Ini_Iterator *it, Ini_Line *out) {
  if (it->rest.empty() || !it->status.ok()) return false;
  const char *begin = it->rest.data();
  const char *newline = ini_find(begin, begin + it->rest.size(), '\n');
  size_t length = newline ? static_cast<size_t>(newline - begin) : it->rest.size();
  std::string_view piece(begin, length);
  it->rest.remove_prefix(newline ? length + 1 : length);
  if (piece.ends_with('\r')) piece.remove_suffix(1);
  std::string_view line = trim_white_space(piece);
  *out = Ini_Line{Ini_Line_Kind::skipped, ++it->number, line, it->section, {}, {}, {}};
  if (line.empty()) return true;
  if (line[0] == '[') {
    std::string_view rest = line.substr(1);
    it->section = rest.substr(0, rest.find(']'));
    out->kind = Ini_Line_Kind::header;
    out->section = it->section;
    return true;
  }
  std::string_view prefix = it->options.comment_prefix;
  if (!prefix.empty() && line[0] == prefix[0] && line.starts_with(prefix)) {
    out->kind = Ini_Line_Kind::comment;
    return true;
  }
  size_t separator = ini_find_separator(line);
  if (separator == std::string_view::npos) return true;
  out->kind = Ini_Line_Kind::pair;
  if (ini_pair(it, line, separator, out)) return true;
  it->status = status_fail(FAILURE_OUT_OF_MEMORY);
  return false;
}

// ---- The map's tables. ----

// Where `hash` sits in `slots` (mask + 1 of them) when `found` tells the entry that holds it, or
// where it would go.
template <class Entry, class Found>
uint32_t ini_probe(const Ini_Slot<Entry> *slots, uint32_t mask, uint64_t hash, Found found) {
  auto i = static_cast<uint32_t>(hash) & mask;
  while (slots[i].entry && !(slots[i].hash == hash && found(slots[i].entry))) i = (i + 1) & mask;
  return i;
}

// `slot` into a table that has room for it and does not hold its entry yet.
template <class Entry>
void ini_place(Ini_Slot<Entry> *slots, uint32_t mask, Ini_Slot<Entry> slot) {
  auto i = static_cast<uint32_t>(slot.hash) & mask;
  while (slots[i].entry) i = (i + 1) & mask;
  slots[i] = slot;
}

// The table for `count` + 1 entries: grown when one more entry would fill it past three quarters, to
// twice the size, or made with `first_slots` from the list at `first` (linked by `next`) when there
// is none yet. The slots hold the hashes, so a longer probe costs little; a smaller table
// stays in the caches longer. The old table is read in order, so that its entries land in the new one in
// order too (slot i goes to i or i + the old size): no random reads. False when out of memory.
template <class Entry>
bool ini_make_room(Arena *arena, Ini_Slot<Entry> **slots, uint32_t *mask, uint32_t count, Entry *first, uint32_t first_slots) {
  uint32_t size = *slots ? *mask + 1 : 0;
  if (*slots && (uint64_t{count} + 1) * 4 <= uint64_t{size} * 3) return true;
  if (size > UINT32_MAX / 2) return false;
  uint32_t grown = size ? size * 2 : first_slots;
  auto *fresh = arena_push_array<Ini_Slot<Entry>>(arena, grown);
  if (!fresh) return false;
  std::memset(static_cast<void *>(fresh), 0, sizeof(Ini_Slot<Entry>) * grown);
  if (!*slots) {
    for (Entry *entry = first; entry; entry = entry->next) ini_place(fresh, grown - 1, {entry->hash, entry});
  } else {
    // A run of entries that wraps past the end starts at the end: read from the first free slot,
    // so that every entry's home comes before it.
    uint32_t start = 0;
    while ((*slots)[start].entry) start++;
    for (uint32_t n = 0; n < size; n++) {
      const Ini_Slot<Entry> &old = (*slots)[(start + n) & (size - 1)];
      if (old.entry) ini_place(fresh, grown - 1, old);
    }
  }
  *slots = fresh;
  *mask = grown - 1;
  return true;
}

// The pair of `section` with `key` and its `hash`, or null. A section of few pairs has no table
// yet: its list is short.
Ini_Pair *ini_section_pair(const Ini_Section *section, std::string_view key, uint64_t hash) {
  if (!section->slots) {
    for (Ini_Pair *pair = section->first; pair; pair = pair->next) {
      if (pair->hash == hash && pair->key == key) return pair;
    }
    return nullptr;
  }
  return section->slots[ini_probe(section->slots, section->mask, hash, [&](const Ini_Pair *p) { return p->key == key; })]
      .entry;
}

// The section named `name`, made (empty) when the map has none yet; null when out of memory.
Ini_Section *ini_section(Section_Map *map, std::string_view name) {
  if (!ini_make_room(&map->arena, &map->slots, &map->mask, map->count, map->first, INI_SECTIONS_FIRST_SLOTS)) return nullptr;
  uint64_t hash = text_hash(name, map->seed);
  uint32_t i = ini_probe(map->slots, map->mask, hash, [&](const Ini_Section *s) { return s->name == name; });
  if (map->slots[i].entry) return map->slots[i].entry;
  auto *section = arena_push_array<Ini_Section>(&map->arena, 1);
  if (!section) return nullptr;
  *section = Ini_Section{nullptr, name, hash, nullptr, nullptr, nullptr, 0, 0};
  map->slots[i] = {hash, section};
  map->count++;
  (map->last ? map->last->next : map->first) = section;
  map->last = section;
  return section;
}

// Stores `value` under `key` (of `hash`) in `section`: a key already there takes the new value.
// False when out of memory.
bool ini_store(Section_Map *map, Ini_Section *section, std::string_view key, std::string_view value, uint64_t hash) {
  // One probe finds the key or the free slot it goes to: the table has room for one more first.
  if (section->count + 1 >= INI_TABLE_FROM_PAIRS &&
      !ini_make_room(&map->arena, &section->slots, &section->mask, section->count, section->first, INI_PAIRS_FIRST_SLOTS)) {
    return false;
  }
  Ini_Pair *pair = nullptr;
  uint32_t slot = 0;
  if (section->slots) {
    slot = ini_probe(section->slots, section->mask, hash, [&](const Ini_Pair *p) { return p->key == key; });
    pair = section->slots[slot].entry;
  } else {
    pair = ini_section_pair(section, key, hash);
  }
  if (pair) {
    pair->value = value;
    return true;
  }
  pair = arena_push_array<Ini_Pair>(&map->arena, 1);
  if (!pair) return false;
  *pair = Ini_Pair{nullptr, key, value, hash};
  if (section->slots) section->slots[slot] = {hash, pair};
  section->count++;
  (section->last ? section->last->next : section->first) = pair;
  section->last = pair;
  return true;
}

size_t ini_arena_block_bytes(size_t text_bytes) {
  if (text_bytes >= ARENA_BLOCK_SIZE_BYTES / 2) return ARENA_BLOCK_SIZE_BYTES;
  size_t wanted = text_bytes * 2 + INI_ARENA_MIN_BLOCK_BYTES / 2;
  return wanted < INI_ARENA_MIN_BLOCK_BYTES ? INI_ARENA_MIN_BLOCK_BYTES : wanted;
}

Status ini_load(Section_Map *out, std::string_view text, const Ini_Options &options) {
  // The map's copy of the text: every key and value that needs no decoding is a view into it.
  char *copy = arena_push_array<char>(&out->arena, text.size() + 1);
  if (!copy) return status_fail(FAILURE_OUT_OF_MEMORY);
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  out->seed = hash_seed_from_address(copy);
  out->keys_lowercased = options.lowercase_keys;
  Ini_Iterator it = ini_iterator(&out->arena, std::string_view(copy, text.size()), options);
  Ini_Line line;
  // The current section, found once per header rather than once per pair; a header with no pairs
  // under it makes no section.
  Ini_Section *section = nullptr;
  // Each pair is stored one line late: its slot is asked of the memory system as soon as its hash is
  // known, and is there by the time the next line has been read. A section of many keys has a table
  // far larger than the processor's caches, and waiting on each slot in turn would cost most of the
  // time of a file of nothing but keys.
  struct {
    Ini_Section *section;
    std::string_view key, value;
    uint64_t hash;
  } pending{};
  for (;;) {
    // Runs of empty lines cost their count and nothing else: a file of blank lines would otherwise
    // take a line's whole reading for each byte.
    while (!it.rest.empty() && (it.rest[0] == '\n' || (it.rest[0] == '\r' && it.rest.size() > 1 && it.rest[1] == '\n'))) {
      it.rest.remove_prefix(it.rest[0] == '\n' ? 1 : 2);
      it.number++;
    }
    if (!ini_read_line(&it, &line)) break;
    if (line.kind == Ini_Line_Kind::header) section = nullptr;
    if (line.kind != Ini_Line_Kind::pair) continue;
    if (!section) section = ini_section(out, line.section);
    if (!section) return status_fail(FAILURE_OUT_OF_MEMORY);
    uint64_t hash = text_hash(line.key, out->seed);
    if (section->slots) prefetch_for_read(&section->slots[hash & section->mask]);
    if (pending.section && !ini_store(out, pending.section, pending.key, pending.value, pending.hash)) {
      return status_fail(FAILURE_OUT_OF_MEMORY);
    }
    pending = {section, line.key, line.value, hash};
  }
  if (pending.section && !ini_store(out, pending.section, pending.key, pending.value, pending.hash)) {
    return status_fail(FAILURE_OUT_OF_MEMORY);
  }
  return it.status;
}

}  // namespace

const Ini_Section *ini_find_section(const Section_Map *map, std::string_view name) noexcept {
  if (!map->slots) return nullptr;
  uint64_t hash = text_hash(name, map->seed);
  return map->slots[ini_probe(map->slots, map->mask, hash, [&](const Ini_Section *s) { return s->name == name; })].entry;
}

const Ini_Pair *ini_find_pair(const Section_Map *map, const Ini_Section *section, std::string_view key) noexcept {
  return ini_section_pair(section, key, text_hash(key, map->seed));
}

Ini_Iterator ini_iterator(Arena *arena, std::string_view text, const Ini_Options &options) noexcept {
  if (text.starts_with(INI_UTF8_BOM)) text.remove_prefix(INI_UTF8_BOM.size());
  return Ini_Iterator{arena, text, {}, options, 0, STATUS_OK};
}

bool ini_next_line(Ini_Iterator *it, Ini_Line *out) noexcept { return ini_read_line(it, out); }

Status load_map_from_string(Section_Map *out, std::string_view text, const Ini_Options &options) noexcept {
  RUNTIME_ASSERT(!out->first && !out->arena.newest, "load_map_from_string takes an empty map");
  out->arena.block_bytes = ini_arena_block_bytes(text.size());
  Status loaded = ini_load(out, text, options);
  if (!loaded.ok()) delete_map(out);
  return loaded;
}

void delete_map(Section_Map *map) noexcept {
  arena_destroy(&map->arena);
  *map = Section_Map{};
}

Result<std::string_view> unquote(Arena *arena, std::string_view text) noexcept {
  std::string_view unquoted;
  bool in_arena = false;
  if (!ini_unquote_view(arena, text, &unquoted, &in_arena)) return status_fail(FAILURE_OUT_OF_MEMORY);
  if (in_arena) return unquoted;
  std::string_view copy = arena_push_string(arena, unquoted);
  if (!copy.data()) return status_fail(FAILURE_OUT_OF_MEMORY);
  return copy;
}
