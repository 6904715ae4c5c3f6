// qpk's usage text: its commands and options, and the builder options sfx
// takes, listed from the builder's option table.
#pragma once

#include <string>

std::string qpk_usage();
