// What the validator's tests share: reading back what a run wrote to a FILE.
#pragma once
#include <cstdio>
#include <string>

// The whole of `file` from its start.
inline std::string check_capture_read(FILE *file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  return text;
}
