// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/contrast.h"

#include <algorithm>
#include <cmath>

namespace caldrin {

namespace {

double channel(double value) {
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableOn(const QColor& wanted, const QColor& background) {
    if (contrastRatio(wanted, background) >= kReadableContrast)
        return wanted;
    const bool darkBackground = luminance(background) < 0.18;
    QColor hsl = wanted.toHsl();
    const float step = darkBackground ? 0.05f : -0.05f;
    for (float lightness = hsl.lightnessF(); lightness >= 0.0f && lightness <= 1.0f;
         lightness += step) {
        const QColor candidate =
            QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness, hsl.alphaF());
        if (contrastRatio(candidate, background) >= kReadableContrast)
            return candidate;
    }
    return darkBackground ? QColor(Qt::white) : QColor(Qt::black);
}

} // namespace caldrin
