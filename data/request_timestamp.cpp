#include "data/request_timestamp.h"

#include <cmath>

#include "data/date_time.h"
#include "data/number_text.h"
#include "platform/clock.h"

namespace quorvel::data {
namespace {

// 1970-01-01 08:00:00 as a local date-time.
constexpr double reference_instant = 25569.0 + 8.0 / 24.0;

}  // namespace

std::string timestamp_text(int milliseconds, double now, TimestampForm form) {
    const bool seconds_only = form == TimestampForm::seconds_only;
    std::string millis = std::to_string(milliseconds);
    if (millis.size() < 3) {
        millis.insert(0, 3 - millis.size(), '0');
    }
    double seconds = std::trunc((now - reference_instant) * 86400.0 + 5.787037037037037e-6);
    std::string text = format_13g(seconds) + millis;
    std::size_t width = seconds_only ? 10 : 13;
    if (seconds_only && text.size() > width) {
        text.resize(width);
    }
    if (text.size() < width) {
        text.append(width - text.size(), '0');
    }
    return text;
}

std::string request_timestamp(TimestampForm form) {
    const int milliseconds = platform::local_now().milliseconds;
    const platform::LocalDateTime now = platform::local_time_of(platform::unix_seconds_now());
    const double date_time = date_time_from_calendar(
        {now.year, now.month, now.day_of_week, now.day, now.hour, now.minute, now.second, 0});
    return timestamp_text(milliseconds, date_time, form);
}

}  // namespace quorvel::data
