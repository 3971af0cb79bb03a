// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/identifier.h"

#include "records_core/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace caldrin {
namespace {

constexpr DateFormat kDayMonthYear{DateOrder::DayMonthYear, '/'};
constexpr CalendarDate kToday{2026, 6, 15};
constexpr const char* kAbcIdentifier = "af5384974eb44bd49790518c45c0e986";

std::string identifierOf(std::string_view name, std::string_view identity,
                         std::string_view dateOfBirth,
                         std::string_view dateOfProcedure = "15/06/2026") {
    return deriveHashedIdentifier(name, identity, dateOfBirth, dateOfProcedure, kDayMonthYear,
                                  kToday)
        .identifier;
}

TEST(IdentifierBlockTest, LaysOutLengthsTextsAndDayNumber) {
    const IdentifierBlock block = buildIdentifierBlock("abc", "x1", 36526);

    IdentifierBlock expected{};
    expected[0] = 3;
    expected[1] = 'A';
    expected[2] = 'B';
    expected[3] = 'C';
    expected[256] = 2;
    expected[257] = 'X';
    expected[258] = '1';
    expected[516] = 0xAE; // 36526 = 0x00008EAE, least significant byte first
    expected[517] = 0x8E;
    EXPECT_EQ(block, expected);
}

TEST(IdentifierBlockTest, NegativeDayNumberIsTwosComplement) {
    const IdentifierBlock block = buildIdentifierBlock("", "", -2);
    EXPECT_EQ(block[516], 0xFE);
    EXPECT_EQ(block[517], 0xFF);
    EXPECT_EQ(block[518], 0xFF);
    EXPECT_EQ(block[519], 0xFF);
    EXPECT_TRUE(std::all_of(block.begin(), block.begin() + 516, [](auto b) { return b == 0; }));
}

TEST(IdentifierBlockTest, TextsAreCutTo255Bytes) {
    const std::string name255(255, 'n');
    const IdentifierBlock full = buildIdentifierBlock(name255, std::string(300, 'i'), 0);
    EXPECT_EQ(full[0], 255);
    EXPECT_TRUE(std::all_of(full.begin() + 1, full.begin() + 256, [](auto b) { return b == 'N'; }));
    EXPECT_EQ(full[256], 255);
    EXPECT_TRUE(
        std::all_of(full.begin() + 257, full.begin() + 512, [](auto b) { return b == 'I'; }));
    EXPECT_TRUE(std::all_of(full.begin() + 512, full.end(), [](auto b) { return b == 0; }));

    EXPECT_EQ(buildIdentifierBlock(name255 + "more text", "", 0),
              buildIdentifierBlock(name255, "", 0));
}

TEST(UpperCaseTest, ChangesOnlyAToZ) {
    // é, ß, ÿ and the letters of 0x80..0x9F (š, œ) stay as they are.
    EXPECT_EQ(upperCaseAtoZ("smith-Jones 1 \xE9\xDF\xFF\x9A\x9C{}`@"),
              "SMITH-JONES 1 \xE9\xDF\xFF\x9A\x9C{}`@");
}

TEST(HashedIdentifierTest, KnownPatient) {
    EXPECT_EQ(hashedIdentifier(buildIdentifierBlock("abc", "1", 36526)), kAbcIdentifier);
    EXPECT_EQ(identifierOf("abc", "1", "01/01/2000"), kAbcIdentifier);
}

TEST(HashedIdentifierTest, DateOfProcedureTakesNoPart) {
    EXPECT_EQ(identifierOf("abc", "1", "01/01/2000", "2/3/2011"), kAbcIdentifier);
    EXPECT_EQ(identifierOf("abc", "1", "01/01/2000", "31/12/9999"), kAbcIdentifier);
}

TEST(HashedIdentifierTest, LetterCaseDoesNotMatterButSpacesDo) {
    const std::string smith = identifierOf("smith", "42", "3/4/1950");
    EXPECT_EQ(identifierOf("SMITH", "42", "3/4/1950"), smith);
    EXPECT_EQ(identifierOf("sMiTh", "42", "03/04/1950"), smith);
    EXPECT_NE(identifierOf("smith ", "42", "3/4/1950"), smith);
    EXPECT_NE(identifierOf(" smith", "42", "3/4/1950"), smith);
    EXPECT_NE(identifierOf("smith", "42", "4/3/1950"), smith);
    EXPECT_NE(identifierOf("smith", "43", "3/4/1950"), smith);
}

TEST(HashedIdentifierTest, LongNameCountsWithItsFirst255Characters) {
    const std::string name(300, 'q');
    EXPECT_EQ(identifierOf(name, "1", "1/1/2000"),
              identifierOf(name.substr(0, 255), "1", "1/1/2000"));
    EXPECT_NE(identifierOf(name.substr(0, 254), "1", "1/1/2000"),
              identifierOf(name.substr(0, 255), "1", "1/1/2000"));
}

TEST(HashedIdentifierTest, AccentedLetterIsHashedAsItsByte) {
    IdentifierBlock block{};
    block[0] = 1;
    block[1] = 0xE9; // é, not upper-cased
    block[256] = 1;
    block[257] = '7';
    block[516] = 0xAE;
    block[517] = 0x8E;
    EXPECT_EQ(identifierOf("\xE9", "7", "1/1/2000"),
              MD5Print(MD5Buffer(block.data(), block.size())));
}

TEST(DeriveHashedIdentifierTest, ReportsEveryProblemInOrder) {
    const HashAttempt attempt = deriveHashedIdentifier("", "", "", "", kDayMonthYear, kToday);
    EXPECT_EQ(attempt.problems,
              (std::vector{HashProblem::NoName, HashProblem::NoIdentity,
                           HashProblem::InvalidDateOfBirth, HashProblem::InvalidDateOfProcedure}));
    EXPECT_TRUE(attempt.identifier.empty());
}

TEST(DeriveHashedIdentifierTest, InvalidDateOfProcedureAloneBlocksTheIdentifier) {
    const HashAttempt attempt =
        deriveHashedIdentifier("abc", "1", "01/01/2000", "31/04/2001", kDayMonthYear, kToday);
    EXPECT_EQ(attempt.problems, std::vector{HashProblem::InvalidDateOfProcedure});
    EXPECT_TRUE(attempt.identifier.empty());
}

TEST(DeriveHashedIdentifierTest, SingleSpacesAreAName) {
    const HashAttempt attempt =
        deriveHashedIdentifier(" ", " ", "1/1/2000", "1/1/2000", kDayMonthYear, kToday);
    EXPECT_TRUE(attempt.problems.empty());
    EXPECT_EQ(attempt.identifier.size(), 32u);
}

TEST(DeriveHashedIdentifierTest, DateOfBirthAfterTodayGetsItsOwnProblem) {
    // "3/7/41" falls in this century by the two-digit-year rule: 2041.
    for (const char* birth : {"3/7/41", "16/06/2026", "1/1/2100"}) {
        const HashAttempt attempt =
            deriveHashedIdentifier("abc", "1", birth, "15/06/2026", kDayMonthYear, kToday);
        EXPECT_EQ(attempt.problems, std::vector{HashProblem::FutureDateOfBirth}) << birth;
        EXPECT_TRUE(attempt.identifier.empty()) << birth;
    }
    // Born today is possible; the other problems are still all reported.
    EXPECT_EQ(identifierOf("abc", "1", "15/06/2026").size(), 32u);
    EXPECT_EQ(deriveHashedIdentifier("", "1", "3/7/41", "x", kDayMonthYear, kToday).problems,
              (std::vector{HashProblem::NoName, HashProblem::FutureDateOfBirth,
                           HashProblem::InvalidDateOfProcedure}));
}

TEST(DeriveHashedIdentifierTest, FollowsTheDateFormat) {
    const DateFormat monthFirst{DateOrder::MonthDayYear, '-'};
    EXPECT_EQ(
        deriveHashedIdentifier("abc", "1", "1-1-2000", "12-31-2001", monthFirst, kToday).identifier,
        kAbcIdentifier);
    EXPECT_EQ(
        deriveHashedIdentifier("abc", "1", "01/01/2000", "12-31-2001", monthFirst, kToday).problems,
        std::vector{HashProblem::InvalidDateOfBirth});
}

} // namespace
} // namespace caldrin
