// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/md5selftest.h"

#include "records_core/md5.h"

namespace caldrin {
namespace {

struct TestVector {
    std::string_view input;
    std::string_view expected;
};

constexpr TestVector kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

} // namespace

std::string md5StringText(std::string_view text) {
    return MD5Print(MD5String(text));
}

std::vector<std::string> md5SelfTestLines(const MD5DigestText& digest) {
    std::vector<std::string> lines{"MD5 Test Suite ( from Orvan, RFC1321.)",
                                   "Executing RFC 1321 test suite ...", ""};
    // Every test runs and reports its own verdict; one failure stops nothing.
    bool allPassed = true;
    for (const TestVector& test : kRfc1321Suite) {
        lines.push_back("MD5('" + std::string(test.input) + "')=");
        const std::string text = digest(test.input);
        lines.push_back(text);
        // Byte for byte, so a digest text in upper case is a failure too.
        const bool passed = text == test.expected;
        allPassed = allPassed && passed;
        lines.push_back(passed ? "MD5 hashing test OK." : "MD5 hashing test failure.");
        lines.push_back("");
    }
    lines.push_back("");
    if (allPassed)
        lines.push_back("All MD5 hashing tests OK.");
    return lines;
}

} // namespace caldrin
