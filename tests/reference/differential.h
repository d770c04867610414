// One settings file read by the module and by the reference, for the differential tests and the
// differential fuzz target: the text, the sections and, for the configuration file's options, the
// verdict and the player's line.
#pragma once
#include <string>

#include "tests/reference/reference.h"

// "" when both readings of `bytes` agree; else both, side by side.
std::string differential_read(const std::string &bytes, const ref::Options &options);
