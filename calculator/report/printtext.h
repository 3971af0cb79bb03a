// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QFont;
class QPlainTextEdit;
class QPrinter;
class QWidget;

namespace caldrin {

class Platform;

// The box's lines, each ended by a line break when saved or copied. The empty
// remainder after the final line break is no line: an empty box has none.
QStringList textLines(const QPlainTextEdit& box);

// The lines as the box shows them: a line the box wraps at its width comes
// as the pieces it is shown in. The same remainder rule as textLines.
QStringList shownLines(const QPlainTextEdit& box);

// Prints `lines` in `font` onto `printer`, each preceded by `indent` spaces,
// one under another from the top of the printable area, with a new page
// whenever one is full. On the first failure printing stops, the job is ended
// and the failure's message comes back.
std::optional<QString> printLines(QPrinter& printer, const QFont& font, const QStringList& lines,
                                  unsigned indent);

// Asks for a printer and prints the lines the box shows in its own font.
// Nothing happens when the user cancels the print dialog; a failure's message
// comes back for the error handler.
std::optional<QString> PrintTextLines(const QPlainTextEdit& box, Platform& platform,
                                      QWidget* parent, QPrinter& printer, unsigned indent);

} // namespace caldrin
