#include "data/script_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace quorvel::data {
namespace {

using Json = nlohmann::ordered_json;

// Values a parse never produces: JSON text writes non-finite numbers as
// null, and their display text is the script's.
TEST(ScriptText, NonFiniteNumbers) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(json_text(Json(std::nan(""))), "null");
    EXPECT_EQ(json_text(Json::array({1, inf, -inf})), "[1,null,null]");
    EXPECT_EQ(script_number_text(std::nan("")), "NaN");
    EXPECT_EQ(script_number_text(inf), "Infinity");
    EXPECT_EQ(script_number_text(-inf), "-Infinity");
    EXPECT_EQ(display_text(Json::array({Json(inf), Json(-0.0)})), "Infinity,0");
}

// Every finite double reads back as itself, in fixed notation exactly when
// its magnitude is from 1e-6 up to below 1e21; the edges of both ranges.
TEST(ScriptText, NumberTextReadsBackAndSwitchesNotationAtTheScriptsEdges) {
    std::mt19937_64 random(20240305);
    std::uniform_real_distribution<double> decades(-12.0, 25.0);
    int wrong = 0;
    for (int i = 0; i < 200000 && wrong < 5; ++i) {
        double value = 0;
        if (i % 2 == 0) {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } else {
            value = std::pow(10.0, decades(random)) * (i % 4 == 1 ? -1 : 1);
        }
        if (!std::isfinite(value) || value == 0) {
            continue;
        }
        const std::string text = script_number_text(value);
        double back = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), back);
        const bool fixed = std::fabs(value) >= 1e-6 && std::fabs(value) < 1e21;
        const bool reads_back =
            error == std::errc() && end == text.data() + text.size() && back == value;
        if (!reads_back || fixed == (text.find('e') != std::string::npos)) {
            ++wrong;
            ADD_FAILURE() << text;
        }
    }
    EXPECT_EQ(script_number_text(1e21), "1e+21");
    EXPECT_EQ(script_number_text(std::nextafter(1e21, 0.0)), "999999999999999900000");
    EXPECT_EQ(script_number_text(1e-6), "0.000001");
    EXPECT_EQ(script_number_text(std::nextafter(1e-6, 0.0)), "9.999999999999997e-7");
    EXPECT_EQ(script_number_text(-1.5e-7), "-1.5e-7");
    EXPECT_EQ(script_number_text(123.456), "123.456");
}

TEST(ScriptText, TruthinessAndLeadingIntegers) {
    EXPECT_FALSE(truthy(Json(0)));
    EXPECT_FALSE(truthy(Json(std::nan(""))));
    EXPECT_FALSE(truthy(Json("")));
    EXPECT_FALSE(truthy(Json(nullptr)));
    EXPECT_TRUE(truthy(Json(-0.5)));
    EXPECT_TRUE(truthy(Json("0")));
    EXPECT_TRUE(truthy(Json::array()));
    EXPECT_TRUE(truthy(Json::object()));
    EXPECT_EQ(leading_integer("12]"), 12);
    EXPECT_EQ(leading_integer("-3x"), -3);
    EXPECT_EQ(leading_integer("x3"), 0);
    EXPECT_EQ(leading_integer("99999999999"), 2147483647);
    EXPECT_EQ(leading_integer("-99999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace quorvel::data
