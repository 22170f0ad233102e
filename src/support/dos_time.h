#pragma once

#include <cstdint>

struct DosDateTime {
  uint16_t Date = 0;
  uint16_t Time = 0;
};

// Packs a local calendar time (full year, month 1-12, ...) into the DOS date
// and time words, dropping odd seconds. Times before 1980 pack as
// 1980-01-01 00:00:00, times after 2107 as 2107-12-31 23:59:58.
DosDateTime PackDosDateTime(int year, int month, int day, int hour, int minute,
                            int second);
