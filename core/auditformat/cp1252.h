// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caldrin {

// The program's 8-bit text: Windows-1252, one byte per character. Everything
// that is hashed or written to a file is converted once, at the edge between
// the widgets and the window-free code, and read back through the same table.
//
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// code no character: no character is written as one of them, and reading one
// gives U+FFFD. Taking them for C1 controls instead would let a file put
// terminal control codes (0x9D opens an operating-system command) into what
// the audit programs print.

inline constexpr char16_t kReplacementCharacter = u'\uFFFD';

// The character of one byte; U+FFFD for the five undefined bytes.
char16_t cp1252Character(unsigned char byte);

// True when `c` has a byte of its own in Windows-1252.
bool isCp1252Representable(char16_t c);

// The bytes of `text`, or nothing when a character has no Windows-1252 byte
// (never a silent replacement).
std::optional<std::string> toCp1252(std::u16string_view text);

// The characters of Windows-1252 bytes.
std::u16string fromCp1252(std::string_view bytes);

// Windows-1252 bytes as UTF-8.
std::string utf8FromCp1252(std::string_view bytes);

} // namespace caldrin
