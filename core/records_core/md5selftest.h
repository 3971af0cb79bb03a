// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin {

// Gives the digest text of a text; the self-test runs whatever digest it is given.
using MD5DigestText = std::function<std::string(std::string_view)>;

// The program's own digest text: MD5String, then MD5Print.
std::string md5StringText(std::string_view text);

// RFC 1321's test suite run through `digest`, as the lines the result window
// shows: a heading, then for each of the seven test texts its call, its digest
// text and the verdict of that test, and a final line when all seven matched.
// With a correct digest there are 33 lines.
std::vector<std::string> md5SelfTestLines(const MD5DigestText& digest = md5StringText);

} // namespace caldrin
