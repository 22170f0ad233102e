#include "support/random.h"

#include <random>

namespace {

// Default-constructed, so draws before any SeedRandom are still well defined.
std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

}  // namespace

void SeedRandom(uint32_t seed) { Generator().seed(seed); }

int32_t RandomDraw() { return int32_t(Generator()() >> 1); }
