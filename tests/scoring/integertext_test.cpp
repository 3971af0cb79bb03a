// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/integertext.h"

#include <gtest/gtest.h>

#include <string>

namespace caldrin {
namespace {

struct IntegerCase {
    const char* name;
    std::string text;
    std::optional<std::int32_t> value;
};

class IntegerText : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerText, ReadsWholeNumbersOnly) {
    const IntegerCase& c = GetParam();
    EXPECT_EQ(integerValue(c.text), c.value);
    EXPECT_EQ(IsInteger(c.text), c.value.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IntegerText,
    ::testing::Values(IntegerCase{"plain", "34", 34}, IntegerCase{"leading_space", " 34", 34},
                      IntegerCase{"plus", "+34", 34}, IntegerCase{"minus", "-1", -1},
                      IntegerCase{"hex", "$22", 34}, IntegerCase{"hex_lower", "$ff", 255},
                      IntegerCase{"hex_all_bits", "$FFFFFFFF", -1},
                      IntegerCase{"int_min", "-2147483648", INT32_MIN},
                      IntegerCase{"int_max", "2147483647", INT32_MAX},
                      IntegerCase{"too_big", "2147483648", std::nullopt},
                      IntegerCase{"hex_too_big", "$100000000", std::nullopt},
                      IntegerCase{"trailing_space", "34 ", std::nullopt},
                      IntegerCase{"inner_space", "3 4", std::nullopt},
                      IntegerCase{"decimal_point", "34.0", std::nullopt},
                      IntegerCase{"empty", "", std::nullopt},
                      IntegerCase{"spaces_only", "   ", std::nullopt},
                      IntegerCase{"sign_only", "-", std::nullopt},
                      IntegerCase{"signed_hex", "-$22", std::nullopt},
                      IntegerCase{"bare_dollar", "$", std::nullopt},
                      IntegerCase{"tab", "\t34", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Calculate's rule (IsInteger) and the stored score (scoreFromText) must take
// the same texts for numbers, however long.
TEST(IsInteger, AgreesWithTheStoredScoreForLongTexts) {
    for (const std::string& text : {std::string(255, ' ') + "5", std::string(254, ' ') + "7x",
                                    std::string(300, ' ') + "12", std::string(256, '0') + "9"}) {
        EXPECT_EQ(IsInteger(text), scoreFromText(text) != 0) << text.size();
        EXPECT_EQ(IsInteger(text), integerValue(text).has_value()) << text.size();
    }
    EXPECT_TRUE(IsInteger(std::string(255, ' ') + "5"));
    EXPECT_EQ(scoreFromText(std::string(255, ' ') + "5"), 5);
    EXPECT_FALSE(IsInteger(std::string(254, ' ') + "7x"));
}

TEST(ScoreFromText, OnlyZeroTo255IsAScore) {
    EXPECT_EQ(scoreFromText("34"), 34);
    EXPECT_EQ(scoreFromText("$FF"), 255);
    EXPECT_EQ(scoreFromText("255"), 255);
    EXPECT_EQ(scoreFromText("256"), 0);
    EXPECT_EQ(scoreFromText("300"), 0);
    EXPECT_EQ(scoreFromText("-1"), 0);
    EXPECT_EQ(scoreFromText("abc"), 0);
    // A long text whose first 255 characters look like a number is still not one.
    EXPECT_EQ(scoreFromText(std::string(254, ' ') + "7x"), 0);
}

} // namespace
} // namespace caldrin
