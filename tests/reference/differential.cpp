// Reading a file both ways; see differential.h.
#include "tests/reference/differential.h"

#include <cstring>
#include <sstream>

#include "encoding/ini/ini.h"
#include "runtime/arena.h"
#include "src/config/messages.h"
#include "src/config/schema.h"
#include "src/config/settings_file.h"
#include "tests/reference/generator.h"

namespace {

struct Reading {
  std::string text;
  ref::Sections sections;
  bool converted = false;  // the verdict below was reached
  ref::Verdict verdict{ref::Refusal::none, -1, {}};
  std::string message;
};

ref::Refusal refusal_of(Config_Failure failure) {
  switch (failure) {
    case CONFIG_DUPLICATE_KEY: return ref::Refusal::duplicate_key;
    case CONFIG_MISSING_KEY: return ref::Refusal::missing_key;
    case CONFIG_NOT_A_TRUTH_VALUE: return ref::Refusal::not_a_truth_value;
    case CONFIG_NOT_AN_INTEGER: return ref::Refusal::not_an_integer;
    case CONFIG_OK: break;
  }
  return ref::Refusal::none;
}

Reading module_reading(const std::string &bytes, const ref::Options &options, bool convert) {
  Reading out;
  Arena arena{};
  Result<std::string_view> text = settings_text_from_bytes(&arena, bytes);
  if (!text.ok()) {
    out.text = "(out of memory)";
    arena_destroy(&arena);
    return out;
  }
  out.text = text.value();
  Section_Map map{};
  if (!load_map_from_string(&map, text.value(), {options.comment_prefix, options.lowercase_keys}).ok()) {
    out.text += "(out of memory)";
  }
  for (const Ini_Section *s = map.first; s; s = s->next) {
    ref::Keys &keys = out.sections[std::string(s->name)];
    for (const Ini_Pair *p = s->first; p; p = p->next) keys[std::string(p->key)] = p->value;
  }
  if (convert) {
    Config_Result config = config_from_map(&arena, map);
    out.converted = true;
    if (!config.status().runtime.ok()) out.text += "(out of memory)";
    out.verdict.refusal = refusal_of(config.status().content);
    out.verdict.key_index = config.status().key_index;
    if (config.ok()) out.verdict.config = config.value();
    out.message = reload_message(config.status());
  }
  delete_map(&map);
  arena_destroy(&arena);
  return out;
}

Reading reference_reading(const std::string &bytes, const ref::Options &options, bool convert) {
  Reading out;
  out.text = ref::text_from_bytes(bytes);
  out.sections = ref::read_ini(out.text, options);
  if (convert) {
    out.converted = true;
    out.verdict = ref::convert(out.sections);
    out.message = ref::message_for(out.verdict.refusal);
  }
  return out;
}

bool same(const Reading &a, const Reading &b) {
  return a.text == b.text && a.sections == b.sections && a.verdict.refusal == b.verdict.refusal &&
         a.verdict.key_index == b.verdict.key_index && std::memcmp(&a.verdict.config, &b.verdict.config, sizeof(Config)) == 0 &&
         a.message == b.message;
}

std::string described(const Reading &r) {
  std::ostringstream out;
  out << "  text: " << ref::escaped(r.text) << "\n";
  for (const auto &[name, keys] : r.sections) {
    out << "  [" << ref::escaped(name) << "]\n";
    for (const auto &[key, value] : keys) out << "    " << ref::escaped(key) << " -> " << ref::escaped(value) << "\n";
  }
  if (!r.converted) return out.str();
  out << "  verdict " << static_cast<int>(r.verdict.refusal) << ", key " << r.verdict.key_index << ", line \"" << r.message << "\"";
  const auto *fields = reinterpret_cast<const int32_t *>(&r.verdict.config);
  out << ", config";
  for (size_t i = 0; i < sizeof(Config) / sizeof(int32_t); i++) out << " " << fields[i];
  out << "\n";
  return out.str();
}

}  // namespace

std::string differential_read(const std::string &bytes, const ref::Options &options) {
  bool convert = options.comment_prefix == ";" && options.lowercase_keys;
  Reading module = module_reading(bytes, options, convert);
  Reading reference = reference_reading(bytes, options, convert);
  if (same(module, reference)) return "";
  return std::string("module:\n") + described(module) + "reference:\n" + described(reference);
}
