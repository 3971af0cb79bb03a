// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/md5selftest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace caldrin {
namespace {

const std::vector<std::string> kAllPassed = {
    "MD5 Test Suite ( from Orvan, RFC1321.)",
    "Executing RFC 1321 test suite ...",
    "",
    "MD5('')=",
    "d41d8cd98f00b204e9800998ecf8427e",
    "MD5 hashing test OK.",
    "",
    "MD5('a')=",
    "0cc175b9c0f1b6a831c399e269772661",
    "MD5 hashing test OK.",
    "",
    "MD5('abc')=",
    "900150983cd24fb0d6963f7d28e17f72",
    "MD5 hashing test OK.",
    "",
    "MD5('message digest')=",
    "f96b697d7cb7938d525a2f31aaf161d0",
    "MD5 hashing test OK.",
    "",
    "MD5('abcdefghijklmnopqrstuvwxyz')=",
    "c3fcd3d76192e4007dfb496cca67e13b",
    "MD5 hashing test OK.",
    "",
    "MD5('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789')=",
    "d174ab98d277d9f5a5611c2c9f419d9f",
    "MD5 hashing test OK.",
    "",
    "MD5('12345678901234567890123456789012345678901234567890123456789012345678901234567890')=",
    "57edf4a22be3c955ac49da2e2107b67a",
    "MD5 hashing test OK.",
    "",
    "",
    "All MD5 hashing tests OK.",
};

TEST(MD5SelfTest, CorrectDigestGivesThe33LinesOfTheSuite) {
    EXPECT_EQ(md5SelfTestLines(), kAllPassed);
}

// The digest is wrong for "abc" only: that test fails, the others still run
// and pass, and the closing line is missing.
TEST(MD5SelfTest, OneWrongDigestFailsOnlyItsTestAndDropsTheFinalLine) {
    std::vector<std::string> asked;
    const auto lines = md5SelfTestLines([&](std::string_view text) {
        asked.emplace_back(text);
        return text == "abc" ? std::string(32, '0') : md5StringText(text);
    });

    std::vector<std::string> expected(kAllPassed.begin(), kAllPassed.end() - 1);
    expected[12] = std::string(32, '0');
    expected[13] = "MD5 hashing test failure.";
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(asked.size(), 7u);
}

// Upper-case digits are the same digest but not the same text: every test fails.
TEST(MD5SelfTest, ComparesDigestTextsCaseSensitively) {
    const auto lines = md5SelfTestLines([](std::string_view text) {
        std::string digest = md5StringText(text);
        std::transform(digest.begin(), digest.end(), digest.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return digest;
    });

    ASSERT_EQ(lines.size(), 32u);
    for (int test = 0; test < 7; ++test)
        EXPECT_EQ(lines[5 + 4 * test], "MD5 hashing test failure.") << "test " << test + 1;
    EXPECT_EQ(lines.back(), "");
}

} // namespace
} // namespace caldrin
