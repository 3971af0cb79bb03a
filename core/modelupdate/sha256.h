// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SHA-256 (FIPS 180-4), for the checksum of a model update's content: it
// tells a file edited by hand or cut short from the one that was written. It
// is not a signature: anyone can compute it again after an edit.

#include <string>
#include <string_view>

namespace caldrin::modelupdate {

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

} // namespace caldrin::modelupdate
