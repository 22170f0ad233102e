#include "support/dos_time.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// year, month, day, hour, minute, second
using Fields = std::array<int, 6>;

Fields Unpack(DosDateTime packed) {
  return {1980 + (packed.Date >> 9), (packed.Date >> 5) & 15, packed.Date & 31,
          packed.Time >> 11,         (packed.Time >> 5) & 63, (packed.Time & 31) * 2};
}

Fields Packed(const Fields& f) { return Unpack(PackDosDateTime(f[0], f[1], f[2], f[3], f[4], f[5])); }

}  // namespace

// Seconds drop to even; years outside 1980-2107 clamp to the ends; garbage
// fields stay within their bits.
TEST(DosTime, PacksEveryFieldIntoItsBits) {
  EXPECT_EQ(Packed({2023, 7, 14, 13, 45, 31}), (Fields{2023, 7, 14, 13, 45, 30}));
  EXPECT_EQ(Packed({1980, 1, 1, 0, 0, 0}), (Fields{1980, 1, 1, 0, 0, 0}));
  EXPECT_EQ(Packed({2107, 12, 31, 23, 59, 59}), (Fields{2107, 12, 31, 23, 59, 58}));
  EXPECT_EQ(Packed({1979, 12, 31, 23, 59, 59}), (Fields{1980, 1, 1, 0, 0, 0}));
  EXPECT_EQ(Packed({2108, 1, 1, 0, 0, 0}), (Fields{2107, 12, 31, 23, 59, 58}));
  EXPECT_EQ(Packed({2000, 13, 40, 25, 61, 61}), (Fields{2000, 12, 31, 23, 59, 58}));
  EXPECT_EQ(Packed({2000, 0, 0, -1, -1, -1}), (Fields{2000, 1, 1, 0, 0, 0}));
  DosDateTime packed = PackDosDateTime(1999, 12, 31, 23, 59, 58);
  EXPECT_EQ(packed.Date, (19 << 9) | (12 << 5) | 31);
  EXPECT_EQ(packed.Time, (23 << 11) | (59 << 5) | 29);
}
