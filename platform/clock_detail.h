#pragma once
// Within platform/: what the two systems' clocks share.

#include <ctime>

#include "platform/clock.h"

namespace quorvel::platform {

LocalDateTime local_date_time(const std::tm& t, int milliseconds);

}  // namespace quorvel::platform
