// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records_core/datecheck.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin {

// The anonymous hashed identifier of a patient: MD5 over a fixed block made of
// the upper-cased name, the upper-cased identity text and the day number of the
// date of birth. The date of procedure takes no part, so every episode of one
// patient gets the same identifier.

inline constexpr std::size_t kIdentifierTextLength = 255;
inline constexpr std::size_t kIdentifierBlockSize = 520;
using IdentifierBlock = std::array<std::uint8_t, kIdentifierBlockSize>;

// Upper-cases only the letters a to z; every other byte, accented letters
// included, stays as it is.
std::string upperCaseAtoZ(std::string_view text);

// Offset 0: the name's length n (at most 255), then its n bytes and 255 - n zero
// bytes; offset 256: the identity the same way; offset 512: four zero bytes;
// offset 516: the day number, signed 32-bit, least significant byte first.
// Both texts are upper-cased here and never trimmed.
IdentifierBlock buildIdentifierBlock(std::string_view name, std::string_view identity,
                                     std::int32_t dayNumber);

// 32 lower-case hexadecimal digits.
std::string hashedIdentifier(const IdentifierBlock& block);

// What stands in the way of an identifier, in the order the user is told.
enum class HashProblem {
    NoName,
    NoIdentity,
    InvalidDateOfBirth,
    FutureDateOfBirth, // a valid date after today: no pseudonym from an impossible birth
    InvalidDateOfProcedure,
};

struct HashAttempt {
    std::vector<HashProblem> problems; // every check that failed, in order
    std::string identifier;            // empty unless no check failed
};

// Runs every check, whatever failed before, then derives the identifier. The
// date of procedure is only checked. All texts are Windows-1252 bytes; `today`
// completes short years and bounds the date of birth.
HashAttempt deriveHashedIdentifier(std::string_view name, std::string_view identity,
                                   std::string_view dateOfBirth, std::string_view dateOfProcedure,
                                   const DateFormat& format, const CalendarDate& today);

} // namespace caldrin
