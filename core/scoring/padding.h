// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace caldrin {

// Pads `text` on the left with spaces up to `width`; a text already that long
// or longer comes back unchanged, never cut.
std::string leftPad(std::string_view text, std::size_t width);

} // namespace caldrin
