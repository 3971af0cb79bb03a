// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/md5.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace caldrin {
namespace {

std::string digestText(const std::vector<std::uint8_t>& bytes) {
    return MD5Print(MD5Buffer(bytes.data(), bytes.size()));
}

std::string referenceText(const std::vector<std::uint8_t>& bytes) {
    MD5Digest digest;
    ::MD5(bytes.data(), bytes.size(), digest.data());
    return MD5Print(digest);
}

std::vector<std::uint8_t> randomBytes(std::mt19937& random, std::size_t length) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes(length);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(byte(random));
    return bytes;
}

struct KnownDigest {
    const char* name;
    std::string input;
    const char* expected;
};

class KnownDigests : public ::testing::TestWithParam<KnownDigest> {};

TEST_P(KnownDigests, MatchThroughStringAndBuffer) {
    const KnownDigest& row = GetParam();
    EXPECT_EQ(MD5Print(MD5String(row.input)), row.expected);
    EXPECT_EQ(MD5Print(MD5Buffer(row.input.data(), row.input.size())), row.expected);
}

// RFC 1321's suite, then lengths around the point where the 8 length bytes no
// longer fit in the last block (55 fits, 56 to 63 need an extra block, 64 is a
// whole block before any padding).
INSTANTIATE_TEST_SUITE_P(
    Md5, KnownDigests,
    ::testing::Values(
        KnownDigest{"Empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
        KnownDigest{"a", "a", "0cc175b9c0f1b6a831c399e269772661"},
        KnownDigest{"abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        KnownDigest{"MessageDigest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        KnownDigest{"Alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        KnownDigest{"Alphanumeric",
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                    "d174ab98d277d9f5a5611c2c9f419d9f"},
        KnownDigest{"EightyDigits",
                    "1234567890123456789012345678901234567890"
                    "1234567890123456789012345678901234567890",
                    "57edf4a22be3c955ac49da2e2107b67a"},
        KnownDigest{"Length55", std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        KnownDigest{"Length56", std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        KnownDigest{"Length63", std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        KnownDigest{"Length64", std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        KnownDigest{"Length65", std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes 1 to 255: the longest text MD5String takes, with every 8-bit character.
std::string allEightBitCharacters() {
    std::string text;
    for (int c = 1; c <= 255; ++c)
        text += static_cast<char>(c);
    return text;
}

TEST(MD5String, HashesAll255CharactersAsUnsignedBytes) {
    const std::string text = allEightBitCharacters();
    ASSERT_EQ(text.size(), kMD5StringMaxLength);
    EXPECT_EQ(MD5Print(MD5String(text)), "2a43f79ceb44831d96f6e456839744e4");
}

TEST(MD5String, LongerTextIsCutTo255Characters) {
    const std::string text = allEightBitCharacters();
    EXPECT_EQ(MD5String(text + "beyond the short string"), MD5String(text));
}

TEST(MD5Update, AnySplitGivesTheDigestOfTheWhole) {
    std::mt19937 random(1321);
    const std::vector<std::uint8_t> input = randomBytes(random, 1000);
    const MD5Digest whole = MD5Buffer(input.data(), input.size());
    ASSERT_EQ(MD5Print(whole), referenceText(input));

    auto digestInPieces = [&](auto nextPieceLength) {
        MD5Context context;
        MD5Init(context);
        for (std::size_t at = 0; at < input.size();) {
            const std::size_t piece = std::min(nextPieceLength(), input.size() - at);
            MD5Update(context, input.data() + at, piece);
            at += piece;
        }
        return MD5Final(context);
    };

    for (const std::size_t size : {1, 63, 64, 65, 127, 128, 129})
        EXPECT_EQ(digestInPieces([size] { return size; }), whole) << "pieces of " << size;

    // Random pieces, empty ones included.
    std::uniform_int_distribution<std::size_t> pieceLength(0, 150);
    for (int round = 0; round < 50; ++round)
        EXPECT_EQ(digestInPieces([&] { return pieceLength(random); }), whole) << "round " << round;
}

TEST(MD5Buffer, MatchesOpenSslOnRandomInputs) {
    std::mt19937 random(20240229);
    std::uniform_int_distribution<std::size_t> length(0, 5 * 64 + 10);
    for (int round = 0; round < 2000; ++round) {
        const std::vector<std::uint8_t> input = randomBytes(random, length(random));
        ASSERT_EQ(digestText(input), referenceText(input)) << "length " << input.size();
    }
    for (std::size_t n = 0; n <= 3 * 64; ++n) {
        const std::vector<std::uint8_t> input = randomBytes(random, n);
        ASSERT_EQ(digestText(input), referenceText(input)) << "length " << n;
    }
}

// A message of 512 MiB or more carries its bit count into the high word. Both
// digests start from the same advanced count, so the length bytes must agree.
TEST(MD5Update, BitCountCarriesIntoTheHighWord) {
    std::mt19937 random(7);
    const std::vector<std::uint8_t> input = randomBytes(random, 200);

    MD5Context context;
    MD5Init(context);
    context.count[0] = 0xFFFFFC00; // a whole number of blocks short of 2^32 bits
    MD5_CTX reference;
    MD5_Init(&reference);
    reference.Nl = 0xFFFFFC00;

    MD5Update(context, input.data(), input.size());
    EXPECT_EQ(context.count[1], 1u);
    EXPECT_EQ(context.count[0], 0xFFFFFC00u + 200 * 8);
    MD5_Update(&reference, input.data(), input.size());

    MD5Digest expected;
    MD5_Final(expected.data(), &reference);
    EXPECT_EQ(MD5Final(context), expected);
}

TEST(MD5Final, WipesEveryFieldOfTheContext) {
    for (const std::size_t length : {0, 10, 60, 64, 100}) {
        const std::vector<std::uint8_t> input(length, 0xA5);
        MD5Context context;
        MD5Init(context);
        MD5Update(context, input.data(), input.size());
        MD5Final(context);

        for (const auto word : context.state)
            EXPECT_EQ(word, 0u) << "length " << length;
        EXPECT_EQ(context.count[0], 0u);
        EXPECT_EQ(context.count[1], 0u);
        EXPECT_TRUE(std::all_of(std::begin(context.buffer), std::end(context.buffer),
                                [](std::uint8_t b) { return b == 0; }))
            << "length " << length;
    }
}

} // namespace
} // namespace caldrin
