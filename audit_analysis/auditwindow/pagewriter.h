// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Lays the report's text, tables and charts down landscape pages in points,
// with the footer on every page.

#include "auditwindow/figures.h"

#include <QChart>
#include <QFont>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace caldrin::auditwindow {

// A font of `points` without ligatures: a reader searching the PDF for
// "difference" must find it, not "di\uFB00erence".
QFont reportFont(double points, bool bold = false);

// Starts a new page where the next item would not fit.
class PageWriter {
public:
    // `footer` goes at the foot of every page, before its number.
    PageWriter(QPagedPaintDevice& device, QPainter& painter, QString footer);

    int pages() const { return pages_; }
    double remaining() const { return bottom_ - y_; }
    double width() const { return width_; }

    void newPage();
    void space(double points) { y_ += points; }
    void text(const QString& text, double size, bool bold = false);
    // The table with its title; rows with a finding in bold. The last column
    // (words) wraps first when the page is too narrow.
    void table(const FigureTable& table);
    // Charts side by side in the given height.
    void charts(const std::vector<std::unique_ptr<QChart>>& charts, double height);
    // A chart on the left and its figures in words beside it, one paragraph
    // a line, in the given height; lines that do not fit are counted in a
    // last line that sends the reader to the window.
    void chartWithFigures(QChart& chart, const QStringList& figures, double height);

private:
    double painterWidth(const QFont& font, const QString& text);
    // Every page says what it is part of and where it is, so that a page
    // taken out of a meeting's pack can be placed.
    void drawFooter();
    void ensure(double height);

    QPagedPaintDevice& device_;
    QPainter& painter_;
    double scale_ = 1;
    double width_ = 0;
    double bottom_ = 0;
    double footerY_ = 0;
    double y_ = 0;
    int pages_ = 1;
    QString footer_;
};

} // namespace caldrin::auditwindow
