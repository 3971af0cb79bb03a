// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/pagewriter.h"
#include "auditwindow/auditcharts.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace caldrin::auditwindow {

namespace {

constexpr double kMargin = 36;       // points
constexpr double kFooterHeight = 16; // points kept free above the margin for the footer
// Charts are laid out at this many screen pixels per point: their fonts
// keep the proportions they have on screen while a half-page chart is wide
// enough for its legend and axis titles whole (at 1.4 the calibration
// legend was cut short).
constexpr double kChartPixelsPerPoint = 1.8;
// The share of the width a chart takes beside its figures.
constexpr double kChartShare = 0.56;

// An interval such as "0.61–0.93 (0.5–0.7)" stays on one line: no break at
// its dash or before its bracket.
QString unbroken(QString text) {
    text.replace(QStringLiteral(" ("), QStringLiteral("\u00A0("));
    text.replace(QStringLiteral("\u2013"), QStringLiteral("\u2060\u2013\u2060"));
    return text;
}

} // namespace

QFont reportFont(double points, bool bold) {
    QFont font;
    font.setPixelSize(static_cast<int>(points));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

PageWriter::PageWriter(QPagedPaintDevice& device, QPainter& painter, QString footer)
    : device_(device)
    , painter_(painter)
    , footer_(std::move(footer)) {
    scale_ = device.logicalDpiX() / 72.0;
    painter_.scale(scale_, scale_);
    width_ = device.width() / scale_ - 2 * kMargin;
    footerY_ = device.height() / scale_ - kMargin;
    bottom_ = footerY_ - kFooterHeight;
    y_ = kMargin;
    drawFooter();
}

void PageWriter::newPage() {
    device_.newPage();
    ++pages_;
    y_ = kMargin;
    drawFooter();
}

void PageWriter::text(const QString& text, double size, bool bold) {
    const QFont font = reportFont(size, bold);
    painter_.setFont(font);
    const QRectF bounds =
        painter_.boundingRect(QRectF(kMargin, 0, width_, 1e6), Qt::TextWordWrap, text);
    ensure(bounds.height());
    painter_.drawText(QRectF(kMargin, y_, width_, bounds.height()), Qt::TextWordWrap, text);
    y_ += bounds.height() + size * 0.4;
}

void PageWriter::table(const FigureTable& table) {
    const QFont normal = reportFont(7);
    const QFont bold = reportFont(7, true);
    const qsizetype columns = table.headers.size();
    // Natural widths, shrunk in proportion when the page is too narrow;
    // cells then wrap.
    std::vector<double> widths(static_cast<std::size_t>(columns), 0);
    for (qsizetype c = 0; c < columns; ++c) {
        double& w = widths[static_cast<std::size_t>(c)];
        w = painterWidth(bold, table.headers[c]);
        for (const TableRow& row : table.rows)
            if (c < row.cells.size())
                w = std::max(w, painterWidth(bold, row.cells[c]));
        w += 6;
    }
    double total = 0;
    for (double w : widths)
        total += w;
    // Too wide for the page: the last column (findings in words) wraps
    // first; the figures shrink only when that is not enough.
    const double wordsWidth = 150;
    if (total > width_ && widths.back() > wordsWidth) {
        const double cut = std::min(total - width_, widths.back() - wordsWidth);
        widths.back() -= cut;
        total -= cut;
    }
    if (total > width_)
        for (double& w : widths)
            w *= width_ / total;

    auto rowHeight = [&](const QStringList& cells, const QFont& font) {
        painter_.setFont(font);
        double height = 0;
        for (qsizetype c = 0; c < columns && c < cells.size(); ++c)
            height = std::max(
                height,
                painter_
                    .boundingRect(QRectF(0, 0, widths[static_cast<std::size_t>(c)] - 4, 1e6),
                                  Qt::TextWordWrap, unbroken(cells[c]))
                    .height());
        return height + 4;
    };
    auto drawRow = [&](const QStringList& cells, const QFont& font, double height) {
        painter_.setFont(font);
        double x = kMargin;
        for (qsizetype c = 0; c < columns && c < cells.size(); ++c) {
            const double w = widths[static_cast<std::size_t>(c)];
            painter_.drawText(QRectF(x + 2, y_ + 2, w - 4, height - 2), Qt::TextWordWrap,
                              unbroken(cells[c]));
            x += w;
        }
        y_ += height;
        painter_.drawLine(QPointF(kMargin, y_), QPointF(kMargin + std::min(total, width_), y_));
    };

    text(table.title, 10, true);
    const double headerHeight = rowHeight(table.headers, bold);
    ensure(headerHeight * 2);
    drawRow(table.headers, bold, headerHeight);
    for (const TableRow& row : table.rows) {
        // Rows with a finding are printed bold as well as saying it in words.
        const bool marked =
            row.finding == Finding::MoreThanExpected || row.finding == Finding::FewerThanExpected;
        const QFont& font = marked ? bold : normal;
        const double height = rowHeight(row.cells, font);
        if (height > remaining()) {
            newPage();
            drawRow(table.headers, bold, headerHeight);
        }
        drawRow(row.cells, font, height);
    }
    y_ += 10;
}

void PageWriter::charts(const std::vector<std::unique_ptr<QChart>>& charts, double height) {
    ensure(height);
    const double gap = 12;
    const double w = (width_ - gap * static_cast<double>(charts.size() - 1)) /
                     static_cast<double>(charts.size());
    double x = kMargin;
    for (const std::unique_ptr<QChart>& chart : charts) {
        paintChart(*chart, painter_, QRectF(x, y_, w, height),
                   QSizeF(w, height) * kChartPixelsPerPoint);
        x += w + gap;
    }
    y_ += height + 8;
}

void PageWriter::chartWithFigures(QChart& chart, const QStringList& figures, double height) {
    ensure(height);
    const double gap = 12;
    const double chartWidth = width_ * kChartShare;
    paintChart(chart, painter_, QRectF(kMargin, y_, chartWidth, height),
               QSizeF(chartWidth, height) * kChartPixelsPerPoint);
    const QFont font = reportFont(7);
    painter_.setFont(font);
    const QRectF column(kMargin + chartWidth + gap, y_, width_ - chartWidth - gap, height);
    double at = column.top();
    const double lineGap = 2;
    auto heightOf = [&](const QString& line) {
        return painter_.boundingRect(QRectF(0, 0, column.width(), 1e6), Qt::TextWordWrap, line)
            .height();
    };
    for (qsizetype i = 0; i < figures.size(); ++i) {
        const QString& line = figures[i];
        const qsizetype left = figures.size() - i - 1;
        const QString more =
            QStringLiteral("and %1; the window lists them all.")
                .arg(countOf(static_cast<std::uint64_t>(left + 1), "more line", "more lines"));
        // Room for this line, and for the last line's note when more follow.
        const double needed = heightOf(unbroken(line)) + (left ? heightOf(more) + lineGap : 0);
        if (at + needed > column.bottom()) {
            painter_.drawText(QRectF(column.left(), at, column.width(), heightOf(more)),
                              Qt::TextWordWrap, more);
            break;
        }
        const double h = heightOf(unbroken(line));
        painter_.drawText(QRectF(column.left(), at, column.width(), h), Qt::TextWordWrap,
                          unbroken(line));
        at += h + lineGap;
    }
    y_ += height + 8;
}

double PageWriter::painterWidth(const QFont& font, const QString& text) {
    painter_.setFont(font);
    return painter_.boundingRect(QRectF(0, 0, 1e6, 1e6), 0, text).width();
}

void PageWriter::drawFooter() {
    painter_.setFont(reportFont(7));
    const QRectF line(kMargin, footerY_ - 9, width_, 10);
    painter_.drawText(line, Qt::AlignLeft | Qt::AlignBottom, footer_);
    painter_.drawText(line, Qt::AlignRight | Qt::AlignBottom,
                      QStringLiteral("Page %1").arg(pages_));
}

void PageWriter::ensure(double height) {
    if (height > remaining() && y_ > kMargin)
        newPage();
}

} // namespace caldrin::auditwindow
