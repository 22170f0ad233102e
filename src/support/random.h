#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);
// Uniform over 0 to 2^31 - 1.
int32_t RandomDraw();
