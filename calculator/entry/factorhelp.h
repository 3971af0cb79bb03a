// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/factors.h"

#include <QString>

namespace caldrin {

// How to grade one factor, in short, for the score dialogs' tooltips and
// "What's This" texts, and where the help file explains it at length.
struct FactorHelp {
    QString anchor;     // the factor's topic in the help file
    QString definition; // plain text: what each option means in practice
};

// Every factor has one; the switch behind it stops the build when a factor
// is added without its text.
FactorHelp factorHelp(Factor factor);

// The definition as a tooltip: rich text, so that it wraps.
QString factorToolTip(Factor factor);

// The definition with a link whose target is the factor's help anchor.
QString factorWhatsThis(Factor factor);

} // namespace caldrin
