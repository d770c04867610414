// The logging facade; see log.h.
#include "runtime/log.h"

namespace {

// Plain data, zero at load: no sink until one is installed.
Log_Sink log_sink;

}  // namespace

const char *log_level_name(Log_Level level) noexcept {
  switch (level) {
    case LOG_DEBUG: return "debug";
    case LOG_INFO: return "info";
    case LOG_WARNING: return "warning";
    case LOG_ERROR: return "error";
    case LOG_FATAL: return "fatal";
  }
  return "level";
}

void log_default_sink(void *, const Log_Record *) noexcept {}

Log_Sink log_set_sink(Log_Sink sink) noexcept {
  Log_Sink old = log_sink;
  log_sink = sink;
  return old;
}

bool log_accepts(Log_Level level) noexcept {
  return log_sink.proc && log_sink.proc != log_default_sink && level >= log_sink.min_level;
}

void log_emit(Log_Level level, Source_Location location, std::string_view text) noexcept {
  if (!log_accepts(level)) return;
  Log_Record record{level, text, location};
  log_sink.proc(log_sink.user, &record);
}
