// The module's exported procedures, setup and cleanup. They know nothing of the host.
#include "src/script/exports.h"
#include "runtime/assert.h"
#include "runtime/arena.h"
#include "src/script/frame.h"

namespace {

constexpr Script_Entry_Point MODULE_SCRIPTS[] = {script_main};
constexpr int32_t MODULE_SCRIPT_COUNT = sizeof MODULE_SCRIPTS / sizeof MODULE_SCRIPTS[0];

}  // namespace

extern "C" int32_t setup(Script_Entry_Point *out_scripts, int32_t scripts_cap) noexcept {
  runtime_context_create();
  RUNTIME_ASSERT(MODULE_SCRIPT_COUNT <= scripts_cap, "len(scripts) <= scripts_cap");
  for (int32_t i = 0; i < MODULE_SCRIPT_COUNT; i++) out_scripts[i] = MODULE_SCRIPTS[i];
  return MODULE_SCRIPT_COUNT;
}

extern "C" void cleanup() noexcept {}
