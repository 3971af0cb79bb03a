// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The progress callback every long call of the engine takes.

#include <cstdint>
#include <functional>
#include <string_view>

namespace caldrin::audit {

// Called now and then during long work with the stage ("Reading", "Merging",
// "Analysing", "Control limit"), the work done and the work in all (bytes or
// steps). Return false to cancel: the call in progress then stops soon and
// reports that it was cancelled.
using Progress =
    std::function<bool(std::string_view stage, std::uint64_t done, std::uint64_t total)>;

} // namespace caldrin::audit
