// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/padding.h"

namespace caldrin {

std::string leftPad(std::string_view text, std::size_t width) {
    if (text.size() >= width)
        return std::string(text);
    return std::string(width - text.size(), ' ') + std::string(text);
}

} // namespace caldrin
