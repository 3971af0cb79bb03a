// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace caldrin {

// MD5 as RFC 1321 defines it. The program's only message digest: it turns a
// patient's details into an anonymous identifier, and "&Test Hash" checks it
// against the RFC's own test suite.

// One digest computation; a local value of its caller, never shared or kept.
struct MD5Context {
    std::uint32_t state[4];  // chaining values A, B, C, D
    std::uint32_t count[2];  // message length in bits, low word first
    std::uint8_t buffer[64]; // input bytes that do not yet fill a block
};

// The four state words written out least significant byte first, A first.
using MD5Digest = std::array<std::uint8_t, 16>;

// The longest text MD5String hashes; the program carries its hashed texts as
// short 8-bit strings.
inline constexpr std::size_t kMD5StringMaxLength = 255;

void MD5Init(MD5Context& context);

// Hashes `length` bytes at `input` (which may be null when `length` is 0). The
// digest depends only on the concatenation of all inputs, whatever the pieces.
void MD5Update(MD5Context& context, const void* input, std::size_t length);

// Pads, appends the length and gives the digest; then wipes every field of the
// context, so no trace of the hashed details stays behind in memory.
MD5Digest MD5Final(MD5Context& context);

MD5Digest MD5Buffer(const void* input, std::size_t length);

// Hashes the characters of `text`, one byte each, without length or
// terminator. A longer text is cut to its first kMD5StringMaxLength bytes, as
// the short string it is carried in would be.
MD5Digest MD5String(std::string_view text);

// 32 lower-case hexadecimal digits, two per digest byte, high digit first.
std::string MD5Print(const MD5Digest& digest);

} // namespace caldrin
