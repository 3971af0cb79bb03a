#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace caldrin {

// The program's 8-bit text: Windows-1252, one byte per character. Everything
// that is hashed or written to a file is converted once, at the edge between
// the widgets and the window-free code.

// True when `c` has a byte of its own in Windows-1252.
bool isCp1252Representable(char16_t c);

// The bytes of `text`, or nothing when a character has no Windows-1252 byte
// (never a silent replacement).
std::optional<std::string> toCp1252(std::u16string_view text);

// The characters of Windows-1252 bytes.
std::u16string fromCp1252(std::string_view bytes);

} // namespace caldrin
