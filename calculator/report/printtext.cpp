// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/printtext.h"

#include "platform/platform.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace caldrin {

namespace {

// Shift+Enter breaks a line inside a block with this character; it ends a
// line like any other line break.
constexpr QChar kLineSeparator(QChar::LineSeparator);

// The empty remainder after the final line break is no line of its own.
void dropRemainder(QStringList& lines) {
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
}

QString printTarget(const QPrinter& printer) {
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

} // namespace

QStringList textLines(const QPlainTextEdit& box) {
    QStringList lines;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next())
        lines += block.text().split(kLineSeparator);
    dropRemainder(lines);
    return lines;
}

QStringList shownLines(const QPlainTextEdit& box) {
    const QTextDocument* document = box.document();
    const auto* layout = qobject_cast<const QPlainTextDocumentLayout*>(document->documentLayout());
    QStringList lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (layout)
            layout->ensureBlockLayout(block);
        const QTextLayout* blockLayout = block.layout();
        const QString text = block.text();
        if (!blockLayout || blockLayout->lineCount() == 0) {
            lines += text.split(kLineSeparator);
            continue;
        }
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine line = blockLayout->lineAt(i);
            QString piece = text.mid(line.textStart(), line.textLength());
            piece.remove(kLineSeparator);
            lines += piece;
        }
    }
    dropRemainder(lines);
    return lines;
}

std::optional<QString> printLines(QPrinter& printer, const QFont& font, const QStringList& lines,
                                  unsigned indent) {
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("Cannot print to ") + printTarget(printer);
    painter.setFont(font);
    painter.setPen(Qt::black);

    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal lineHeight = metrics.lineSpacing();
    const qreal pageHeight = printer.height();
    const QString indentText(qsizetype(indent), QLatin1Char(' '));

    qreal top = 0;
    bool pageHasLines = false;
    for (const QString& line : lines) {
        if (pageHasLines && top + lineHeight > pageHeight) {
            if (!printer.newPage()) {
                // End the job with what was printed so far, so that the next
                // print starts afresh.
                painter.end();
                return QStringLiteral("Printing failed on ") + printTarget(printer);
            }
            top = 0;
        }
        painter.drawText(QPointF(0, top + metrics.ascent()), indentText + line);
        top += lineHeight;
        pageHasLines = true;
    }
    if (!painter.end())
        return QStringLiteral("Printing failed on ") + printTarget(printer);
    return std::nullopt;
}

std::optional<QString> PrintTextLines(const QPlainTextEdit& box, Platform& platform,
                                      QWidget* parent, QPrinter& printer, unsigned indent) {
    if (!platform.choosePrinter(parent, printer))
        return std::nullopt;
    return printLines(printer, box.font(), shownLines(box), indent);
}

} // namespace caldrin
