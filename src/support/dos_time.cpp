#include "support/dos_time.h"

#include <algorithm>

namespace {

constexpr int FirstYear = 1980;
constexpr int LastYear = 2107;

uint16_t PackDate(int year, int month, int day) {
  return uint16_t(((year - FirstYear) << 9) | (month << 5) | day);
}

uint16_t PackTime(int hour, int minute, int second) {
  return uint16_t((hour << 11) | (minute << 5) | (second / 2));
}

}  // namespace

DosDateTime PackDosDateTime(int year, int month, int day, int hour, int minute,
                            int second) {
  if (year < FirstYear) return {PackDate(FirstYear, 1, 1), PackTime(0, 0, 0)};
  if (year > LastYear) return {PackDate(LastYear, 12, 31), PackTime(23, 59, 59)};
  // Fields out of range cannot come from a sane clock; clamping keeps them
  // from spilling into their neighbours' bits.
  return {PackDate(year, std::clamp(month, 1, 12), std::clamp(day, 1, 31)),
          PackTime(std::clamp(hour, 0, 23), std::clamp(minute, 0, 59),
                   std::clamp(second, 0, 59))};
}
