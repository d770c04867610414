// The logging facade. A record is a level, the formatted text and the call site. Records go to the
// one installed sink; with none installed, or the default sink, or below the sink's lowest level,
// they are dropped before any formatting. The module installs no sink; tests and tools do.
#pragma once
#include <cstdint>
#include <string_view>

#include "runtime/format.h"

enum Log_Level : int32_t {
  LOG_DEBUG = 0,
  LOG_INFO = 10,
  LOG_WARNING = 20,
  LOG_ERROR = 30,
  LOG_FATAL = 40,
};

const char *log_level_name(Log_Level level) noexcept;

struct Source_Location {
  const char *file;
  int32_t line;
  const char *function;
};

#define SOURCE_HERE (Source_Location{__FILE__, __LINE__, __func__})

struct Log_Record {
  Log_Level level;
  std::string_view text;
  Source_Location location;
};

using Log_Sink_Proc = void (*)(void *user, const Log_Record *record);

struct Log_Sink {
  Log_Sink_Proc proc;  // null: no sink
  void *user;
  Log_Level min_level;
};

// The default sink: drops every record.
void log_default_sink(void *user, const Log_Record *record) noexcept;

// Installs `sink` and returns the one it replaces. Pass {} to remove it.
Log_Sink log_set_sink(Log_Sink sink) noexcept;

bool log_accepts(Log_Level level) noexcept;

// Hands a finished record to the sink; callers go through log_write.
void log_emit(Log_Level level, Source_Location location, std::string_view text) noexcept;

constexpr size_t LOG_TEXT_CAPACITY_BYTES = 1024;  // longer texts are cut

template <class... Args>
void log_write(Log_Level level, Source_Location location, std::string_view format, const Args &...args) noexcept {
  if (!log_accepts(level)) return;
  char text[LOG_TEXT_CAPACITY_BYTES];
  Format_Buffer buffer = format_buffer(text, sizeof text);
  format_to(&buffer, format, args...);
  log_emit(level, location, format_text(buffer));
}

#define log_debug(...) log_write(LOG_DEBUG, SOURCE_HERE, __VA_ARGS__)
#define log_info(...) log_write(LOG_INFO, SOURCE_HERE, __VA_ARGS__)
#define log_warning(...) log_write(LOG_WARNING, SOURCE_HERE, __VA_ARGS__)
#define log_error(...) log_write(LOG_ERROR, SOURCE_HERE, __VA_ARGS__)
#define log_fatal(...) log_write(LOG_FATAL, SOURCE_HERE, __VA_ARGS__)
