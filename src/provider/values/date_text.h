// Dates as the provider stores them in SQLite ("YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD",
// "HH:MM:SS") and as automation dates (days since 30 December 1899, time as the fraction).
#pragma once

#include <cstddef>
#include <cstdint>

#include "vornoledb/platform/types.h"

namespace vorn::provider {

struct DateParts {
    int year = 1899;  // a time alone lies on day 0, 30 December 1899
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    uint32_t nanoseconds = 0;
};

// Reads date text: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with 'T' between the
// parts, '/' between the date's numbers and a trailing 'Z'), or "HH:MM[:SS[.fff]]" alone;
// white space around is ignored. False for anything else or an impossible date or time.
bool ParseDateText(const char* text, size_t n, DateParts* out);

// Calendar parts to an automation date (years 100 to 9999); false when out of range.
bool DatePartsToAutomation(const DateParts& parts, DATE* out);

// An automation date to calendar parts, to the second; false when out of range.
bool AutomationToDateParts(DATE value, DateParts* out);

}  // namespace vorn::provider
