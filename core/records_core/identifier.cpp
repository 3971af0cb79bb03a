// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/identifier.h"

#include "records_core/md5.h"

#include <algorithm>

namespace caldrin {

namespace {

constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kIdentityOffset = 256;
constexpr std::size_t kDayNumberOffset = 516;

// A length byte, then the text's bytes, cut to 255; the rest stays zero.
void putShortText(IdentifierBlock& block, std::size_t offset, std::string_view text) {
    const std::string upper = upperCaseAtoZ(text.substr(0, kIdentifierTextLength));
    block[offset] = static_cast<std::uint8_t>(upper.size());
    std::copy(upper.begin(), upper.end(), block.begin() + std::ptrdiff_t(offset + 1));
}

} // namespace

std::string upperCaseAtoZ(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

IdentifierBlock buildIdentifierBlock(std::string_view name, std::string_view identity,
                                     std::int32_t dayNumber) {
    IdentifierBlock block{};
    putShortText(block, kNameOffset, name);
    putShortText(block, kIdentityOffset, identity);
    const auto bits = static_cast<std::uint32_t>(dayNumber);
    for (std::size_t i = 0; i < 4; ++i)
        block[kDayNumberOffset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    return block;
}

std::string hashedIdentifier(const IdentifierBlock& block) {
    return MD5Print(MD5Buffer(block.data(), block.size()));
}

HashAttempt deriveHashedIdentifier(std::string_view name, std::string_view identity,
                                   std::string_view dateOfBirth, std::string_view dateOfProcedure,
                                   const DateFormat& format, const CalendarDate& today) {
    HashAttempt attempt;
    if (name.empty())
        attempt.problems.push_back(HashProblem::NoName);
    if (identity.empty())
        attempt.problems.push_back(HashProblem::NoIdentity);
    const auto birth = checkDate(dateOfBirth, format, today.year);
    if (!birth)
        attempt.problems.push_back(HashProblem::InvalidDateOfBirth);
    else if (dayNumber(*birth) > dayNumber(today))
        attempt.problems.push_back(HashProblem::FutureDateOfBirth);
    if (!checkDate(dateOfProcedure, format, today.year))
        attempt.problems.push_back(HashProblem::InvalidDateOfProcedure);
    if (attempt.problems.empty())
        attempt.identifier =
            hashedIdentifier(buildIdentifierBlock(name, identity, dayNumber(*birth)));
    return attempt;
}

} // namespace caldrin
