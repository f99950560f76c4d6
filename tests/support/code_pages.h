#pragma once
// For tests of text outside code page 936 (emoji, rare characters), which
// only GB18030 holds. Windows serves GB18030 as code page 54936; Wine 8 has
// no such code page and serves code page 936 by itself.

#include <gtest/gtest.h>

#include "platform/code_page.h"

#define QUORVEL_SKIP_WITHOUT_GB18030()                                               \
    if (!::quorvel::platform::gb18030_available()) {                                 \
        GTEST_SKIP() << "needs code page 54936 (GB18030), which this system lacks; " \
                        "code page 936 serves instead";                              \
    }
