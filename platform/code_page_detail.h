#pragma once
// Within platform/: what the iconv and the Windows conversions share.

#include <string>
#include <string_view>

namespace quorvel::platform {

// UTF-16 with every unpaired surrogate replaced by U+FFFD, so that the
// conversion out of it cannot stop half-way.
std::u16string paired_surrogates_only(std::u16string_view text);

}  // namespace quorvel::platform
