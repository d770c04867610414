// The module's runtime context; see context.h.
#include "runtime/context.h"

#include "runtime/log.h"

Runtime_Context runtime_context;

void runtime_context_destroy() noexcept {
  arena_destroy(&runtime_context.frame_scratch);
  runtime_context.frame_scratch = {};
  log_set_sink({});
}

void runtime_context_create() noexcept { runtime_context_destroy(); }
