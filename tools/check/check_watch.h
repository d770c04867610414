// maneshade-check --watch FILE: the module's own reloader, run on FILE with the real clock and file
// system until interrupted, with one line per attempt: what the game will do, and why.
#pragma once
#include <cstdio>
#include <string_view>

// Never returns but for bad memory: the exit status then. Lines go to `err`.
int check_watch(std::string_view path, FILE *err);
