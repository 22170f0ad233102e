#include "support/dos_time.h"

#include <gtest/gtest.h>

namespace {

struct Fields {
  int Year, Month, Day, Hour, Minute, Second;
};

Fields Unpack(DosDateTime packed) {
  return {1980 + (packed.Date >> 9), (packed.Date >> 5) & 15, packed.Date & 31,
          packed.Time >> 11, (packed.Time >> 5) & 63, (packed.Time & 31) * 2};
}

void ExpectFields(DosDateTime packed, Fields expected) {
  Fields got = Unpack(packed);
  EXPECT_EQ(got.Year, expected.Year);
  EXPECT_EQ(got.Month, expected.Month);
  EXPECT_EQ(got.Day, expected.Day);
  EXPECT_EQ(got.Hour, expected.Hour);
  EXPECT_EQ(got.Minute, expected.Minute);
  EXPECT_EQ(got.Second, expected.Second);
}

}  // namespace

TEST(DosTime, FieldsRoundTripWithEvenSeconds) {
  ExpectFields(PackDosDateTime(2023, 7, 14, 13, 45, 31), {2023, 7, 14, 13, 45, 30});
  ExpectFields(PackDosDateTime(1980, 1, 1, 0, 0, 0), {1980, 1, 1, 0, 0, 0});
  ExpectFields(PackDosDateTime(2107, 12, 31, 23, 59, 59), {2107, 12, 31, 23, 59, 58});
  DosDateTime packed = PackDosDateTime(1999, 12, 31, 23, 59, 58);
  EXPECT_EQ(packed.Date, (19 << 9) | (12 << 5) | 31);
  EXPECT_EQ(packed.Time, (23 << 11) | (59 << 5) | 29);
}

TEST(DosTime, YearsOutsideTheRangeClamp) {
  ExpectFields(PackDosDateTime(1979, 12, 31, 23, 59, 59), {1980, 1, 1, 0, 0, 0});
  ExpectFields(PackDosDateTime(1900, 6, 6, 6, 6, 6), {1980, 1, 1, 0, 0, 0});
  ExpectFields(PackDosDateTime(2108, 1, 1, 0, 0, 0), {2107, 12, 31, 23, 59, 58});
}

TEST(DosTime, GarbageFieldsStayInTheirBits) {
  ExpectFields(PackDosDateTime(2000, 13, 40, 25, 61, 61), {2000, 12, 31, 23, 59, 58});
  ExpectFields(PackDosDateTime(2000, 0, 0, -1, -1, -1), {2000, 1, 1, 0, 0, 0});
}
