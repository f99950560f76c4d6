#pragma once
// The millisecond timestamp some suggestion requests carry.

#include <string>

namespace quorvel::data {

enum class TimestampForm { with_milliseconds, seconds_only };

// Whole seconds since 1970-01-01 08:00 local time followed by three digits of
// milliseconds (at least 13 characters); seconds_only keeps the first 10
// characters. The milliseconds and the seconds are two separate clock readings.
std::string request_timestamp(TimestampForm form = TimestampForm::with_milliseconds);

// The same text from given readings: the milliseconds of the first and the
// local date-time (whole seconds) of the second.
std::string timestamp_text(int milliseconds, double now, TimestampForm form);

}  // namespace quorvel::data
