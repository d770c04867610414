// An in-memory platform for tests: one file (bytes, last-write time, whether it opens), maybe others
// that only exist and hold bytes, the module's folder, and a clock the test sets. Installed through
// platform_use_services.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "src/config/settings_file.h"

struct Fake_Platform {
  uint64_t now = 0x01DC'0000'0000'0000;  // some day in this century
  std::string path = std::string(CONFIG_FILE_NAME);
  bool exists = true;
  Os_Error absent_as = OS_FILE_NOT_FOUND;  // what a look and an open report when it does not exist
  std::string bytes;
  uint64_t write_ticks = 0x01DB'0000'0000'0000;
  Os_Error open_error = OS_OK;  // e.g. OS_SHARING_VIOLATION: the file exists but will not open
  Os_Error read_error = OS_OK;  // fails the read only, after a good open
  std::optional<uint64_t> stamp_size;  // the size a look reports, when not the bytes' (a file being written)
  std::function<void(Fake_Platform &)> during_read;  // runs after the bytes are taken, before the read returns

  // Files besides the one above, at other paths: they always open and read.
  struct Other_File {
    std::string path;
    std::string bytes;
    uint64_t write_ticks;
  };
  std::vector<Other_File> others;
  std::string module_folder = "game/";  // platform_beside_module's folder; its look fails when empty

  uint64_t time_reads = 0, attribute_reads = 0, file_reads = 0;
};

// Routes the platform services to `fake` until fake_platform_remove.
void fake_platform_install(Fake_Platform *fake);
void fake_platform_remove();
