// Starts and stops the foundation services in their fixed order: module and
// hook tables, memory pool, file layer, log.
#pragma once

#include <cstdint>

int foundation_init(const uint32_t* pool_size);
void foundation_term();
