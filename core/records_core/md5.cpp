// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/md5.h"

#include <bit>
#include <cstring>

namespace caldrin {
namespace {

// The transform is the hot path of every digest, so it is written out in full:
// all 64 steps unrolled, the state kept in locals across consecutive blocks,
// each message word loaded straight from the input where it is used.
//
// Each step is a = b + ((a + f(b, c, d) + x + t) <<< s). The new value of b is
// always the one just computed, so the steps are ordered to put as little work
// as possible after it: everything that depends only on a, c, d, the message
// word and the constant is summed first, and only the last operations touch b.

inline std::uint32_t rotl(std::uint32_t x, int s) {
    return (x << s) | (x >> (32 - s));
}

// Message words are little-endian whatever the machine.
inline std::uint32_t word(const std::uint8_t* block, int index) {
    const std::uint8_t* p = block + 4 * index;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    } else {
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }
}

// F(b, c, d) = (b & c) | (~b & d), taken as d ^ (b & (c ^ d)): c ^ d is ready
// before b is.
inline void stepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t, int s) {
    a += x + t;
    a += d ^ (b & (c ^ d));
    a = rotl(a, s) + b;
}

// G(b, c, d) = (b & d) | (c & ~d). The two halves never share a bit, so the
// OR is an addition, and the half without b joins the sum early.
inline void stepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t, int s) {
    a += x + t;
    a += ~d & c;
    a += d & b;
    a = rotl(a, s) + b;
}

// H(b, c, d) = b ^ c ^ d, with c ^ d formed before b arrives.
inline void stepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t, int s) {
    a += x + t;
    a += b ^ (c ^ d);
    a = rotl(a, s) + b;
}

// I(b, c, d) = c ^ (b | ~d), with ~d formed before b arrives.
inline void stepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t, int s) {
    a += x + t;
    a += c ^ (b | ~d);
    a = rotl(a, s) + b;
}

void transform(std::uint32_t state[4], const std::uint8_t* blocks, std::size_t count) {
    std::uint32_t a = state[0];
    std::uint32_t b = state[1];
    std::uint32_t c = state[2];
    std::uint32_t d = state[3];

    for (const std::uint8_t* in = blocks; count > 0; --count, in += 64) {
        const std::uint32_t aa = a;
        const std::uint32_t bb = b;
        const std::uint32_t cc = c;
        const std::uint32_t dd = d;

        // Round 1
        stepF(a, b, c, d, word(in, 0), 0xd76aa478, 7);
        stepF(d, a, b, c, word(in, 1), 0xe8c7b756, 12);
        stepF(c, d, a, b, word(in, 2), 0x242070db, 17);
        stepF(b, c, d, a, word(in, 3), 0xc1bdceee, 22);
        stepF(a, b, c, d, word(in, 4), 0xf57c0faf, 7);
        stepF(d, a, b, c, word(in, 5), 0x4787c62a, 12);
        stepF(c, d, a, b, word(in, 6), 0xa8304613, 17);
        stepF(b, c, d, a, word(in, 7), 0xfd469501, 22);
        stepF(a, b, c, d, word(in, 8), 0x698098d8, 7);
        stepF(d, a, b, c, word(in, 9), 0x8b44f7af, 12);
        stepF(c, d, a, b, word(in, 10), 0xffff5bb1, 17);
        stepF(b, c, d, a, word(in, 11), 0x895cd7be, 22);
        stepF(a, b, c, d, word(in, 12), 0x6b901122, 7);
        stepF(d, a, b, c, word(in, 13), 0xfd987193, 12);
        stepF(c, d, a, b, word(in, 14), 0xa679438e, 17);
        stepF(b, c, d, a, word(in, 15), 0x49b40821, 22);

        // Round 2
        stepG(a, b, c, d, word(in, 1), 0xf61e2562, 5);
        stepG(d, a, b, c, word(in, 6), 0xc040b340, 9);
        stepG(c, d, a, b, word(in, 11), 0x265e5a51, 14);
        stepG(b, c, d, a, word(in, 0), 0xe9b6c7aa, 20);
        stepG(a, b, c, d, word(in, 5), 0xd62f105d, 5);
        stepG(d, a, b, c, word(in, 10), 0x02441453, 9);
        stepG(c, d, a, b, word(in, 15), 0xd8a1e681, 14);
        stepG(b, c, d, a, word(in, 4), 0xe7d3fbc8, 20);
        stepG(a, b, c, d, word(in, 9), 0x21e1cde6, 5);
        stepG(d, a, b, c, word(in, 14), 0xc33707d6, 9);
        stepG(c, d, a, b, word(in, 3), 0xf4d50d87, 14);
        stepG(b, c, d, a, word(in, 8), 0x455a14ed, 20);
        stepG(a, b, c, d, word(in, 13), 0xa9e3e905, 5);
        stepG(d, a, b, c, word(in, 2), 0xfcefa3f8, 9);
        stepG(c, d, a, b, word(in, 7), 0x676f02d9, 14);
        stepG(b, c, d, a, word(in, 12), 0x8d2a4c8a, 20);

        // Round 3
        stepH(a, b, c, d, word(in, 5), 0xfffa3942, 4);
        stepH(d, a, b, c, word(in, 8), 0x8771f681, 11);
        stepH(c, d, a, b, word(in, 11), 0x6d9d6122, 16);
        stepH(b, c, d, a, word(in, 14), 0xfde5380c, 23);
        stepH(a, b, c, d, word(in, 1), 0xa4beea44, 4);
        stepH(d, a, b, c, word(in, 4), 0x4bdecfa9, 11);
        stepH(c, d, a, b, word(in, 7), 0xf6bb4b60, 16);
        stepH(b, c, d, a, word(in, 10), 0xbebfbc70, 23);
        stepH(a, b, c, d, word(in, 13), 0x289b7ec6, 4);
        stepH(d, a, b, c, word(in, 0), 0xeaa127fa, 11);
        stepH(c, d, a, b, word(in, 3), 0xd4ef3085, 16);
        stepH(b, c, d, a, word(in, 6), 0x04881d05, 23);
        stepH(a, b, c, d, word(in, 9), 0xd9d4d039, 4);
        stepH(d, a, b, c, word(in, 12), 0xe6db99e5, 11);
        stepH(c, d, a, b, word(in, 15), 0x1fa27cf8, 16);
        stepH(b, c, d, a, word(in, 2), 0xc4ac5665, 23);

        // Round 4
        stepI(a, b, c, d, word(in, 0), 0xf4292244, 6);
        stepI(d, a, b, c, word(in, 7), 0x432aff97, 10);
        stepI(c, d, a, b, word(in, 14), 0xab9423a7, 15);
        stepI(b, c, d, a, word(in, 5), 0xfc93a039, 21);
        stepI(a, b, c, d, word(in, 12), 0x655b59c3, 6);
        stepI(d, a, b, c, word(in, 3), 0x8f0ccc92, 10);
        stepI(c, d, a, b, word(in, 10), 0xffeff47d, 15);
        stepI(b, c, d, a, word(in, 1), 0x85845dd1, 21);
        stepI(a, b, c, d, word(in, 8), 0x6fa87e4f, 6);
        stepI(d, a, b, c, word(in, 15), 0xfe2ce6e0, 10);
        stepI(c, d, a, b, word(in, 6), 0xa3014314, 15);
        stepI(b, c, d, a, word(in, 13), 0x4e0811a1, 21);
        stepI(a, b, c, d, word(in, 4), 0xf7537e82, 6);
        stepI(d, a, b, c, word(in, 11), 0xbd3af235, 10);
        stepI(c, d, a, b, word(in, 2), 0x2ad7d2bb, 15);
        stepI(b, c, d, a, word(in, 9), 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }

    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

void encode(std::uint8_t* out, const std::uint32_t* words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out[4 * i] = static_cast<std::uint8_t>(words[i]);
        out[4 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
        out[4 * i + 2] = static_cast<std::uint8_t>(words[i] >> 16);
        out[4 * i + 3] = static_cast<std::uint8_t>(words[i] >> 24);
    }
}

// A wipe the compiler may not drop as a dead store, even when the context is
// about to go out of scope.
void wipe(void* p, std::size_t n) {
    std::memset(p, 0, n);
#if defined(__GNUC__) || defined(__clang__)
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    volatile std::uint8_t* bytes = static_cast<volatile std::uint8_t*>(p);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = 0;
#endif
}

constexpr std::uint8_t kPadding[64] = {0x80};

} // namespace

void MD5Init(MD5Context& context) {
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.count[0] = 0;
    context.count[1] = 0;
    std::memset(context.buffer, 0, sizeof context.buffer);
}

void MD5Update(MD5Context& context, const void* input, std::size_t length) {
    if (length == 0)
        return;
    const auto* in = static_cast<const std::uint8_t*>(input);

    std::size_t index = (context.count[0] >> 3) & 0x3F;

    // The bit count is kept modulo 2^64 in two words, whatever the length's width.
    const auto lowBits = static_cast<std::uint32_t>(length << 3);
    context.count[0] += lowBits;
    if (context.count[0] < lowBits)
        ++context.count[1];
    context.count[1] += static_cast<std::uint32_t>(length >> 29);

    const std::size_t partLength = 64 - index;
    std::size_t done = 0;
    if (length >= partLength) {
        std::memcpy(&context.buffer[index], in, partLength);
        transform(context.state, context.buffer, 1);
        const std::size_t wholeBlocks = (length - partLength) / 64;
        transform(context.state, in + partLength, wholeBlocks);
        done = partLength + 64 * wholeBlocks;
        index = 0;
    }
    if (length > done)
        std::memcpy(&context.buffer[index], in + done, length - done);
}

MD5Digest MD5Final(MD5Context& context) {
    std::uint8_t bits[8];
    encode(bits, context.count, 2);

    const std::size_t index = (context.count[0] >> 3) & 0x3F;
    const std::size_t padLength = index < 56 ? 56 - index : 120 - index;
    MD5Update(context, kPadding, padLength);
    MD5Update(context, bits, sizeof bits);

    MD5Digest digest;
    encode(digest.data(), context.state, 4);
    wipe(&context, sizeof context);
    return digest;
}

MD5Digest MD5Buffer(const void* input, std::size_t length) {
    MD5Context context;
    MD5Init(context);
    MD5Update(context, input, length);
    return MD5Final(context);
}

MD5Digest MD5String(std::string_view text) {
    text = text.substr(0, kMD5StringMaxLength);
    return MD5Buffer(text.data(), text.size());
}

std::string MD5Print(const MD5Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * digest.size());
    for (const std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

} // namespace caldrin
