// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

namespace caldrin {

// The contrast ratio of two colours as screen-reading guidelines define it,
// from 1 (none) to 21 (black on white).
double contrastRatio(const QColor& first, const QColor& second);

// The ratio below which text is hard to read.
inline constexpr double kReadableContrast = 4.5;

// `wanted` where it reads well on `background`; otherwise the same hue made
// lighter (on a dark background) or darker (on a light one) until it does.
QColor readableOn(const QColor& wanted, const QColor& background);

} // namespace caldrin
