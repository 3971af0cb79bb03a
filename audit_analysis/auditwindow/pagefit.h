// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What keeps a page readable in a small window and tidy in a wide one:
// tables exactly as wide as their contents (never a number or heading cut,
// never a last column stretched across the page), charts never squashed,
// and the page scrolling instead.

#include <QList>
#include <QSize>

class QLabel;
class QScrollArea;
class QTableView;
class QWidget;

namespace caldrin::auditwindow {

// The smallest a chart is drawn: axis titles, tick labels and a legend
// beside the plot stay whole.
QSize chartMinimumSize(const QWidget* chart);

// Puts `contents` into a scroll area that fills `page`: when the window is
// smaller than the contents' minimum size the page scrolls.
void scrollInside(QWidget* page, QWidget* contents);

// Keeps `view`'s columns as wide as their headings and cells, and the view
// as wide as its columns, as its figures, font or style change. With
// `shownRows` 0 every row is shown and the view never scrolls; otherwise it
// shows at least that many rows and scrolls through the rest.
void keepFitted(QTableView* view, int shownRows = 0);

// Wrapped labels on a scrolling page wrap at the visible width even where a
// table makes the page scroll sideways, and their height is reserved in
// full: the scroll area's layout does not ask wrapped labels their height
// for a width. Called as the viewport resizes and the texts change.
void fitLabelsToViewport(const QScrollArea& area, const QList<QLabel*>& labels);

} // namespace caldrin::auditwindow
