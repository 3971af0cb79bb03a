// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview/iconarray.h"

#include "widgets/contrast.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace caldrin {

namespace {

int columnsFor(int people) {
    return people > 100 ? 40 : 10;
}

// A person: a round head over rounded shoulders, inside a cell of `size`.
QPainterPath personIn(const QRectF& cell) {
    const double w = cell.width();
    const double h = cell.height();
    QPainterPath path;
    // A gap between head and shoulders keeps an outlined figure from
    // reading as the digit 8.
    const double head = std::min(w, h) * 0.3;
    path.addEllipse(QPointF(cell.center().x(), cell.top() + h * 0.19), head / 2, head / 2);
    const QRectF body(cell.left() + w * 0.2, cell.top() + h * 0.45, w * 0.6, h * 0.5);
    path.addRoundedRect(body, w * 0.2, w * 0.2);
    return path;
}

} // namespace

IconColours iconColoursOn(const QColor& background) {
    // A deep red for the outcome and the text colour's grey for the rest,
    // each made readable on the background.
    const bool dark = background.lightnessF() < 0.5;
    return {readableOn(QColor(dark ? 0xff7a5c : 0xb3261e), background),
            readableOn(dark ? QColor(0xc8c8c8) : QColor(0x505050), background)};
}

void paintIconArray(QPainter& painter, const QRectF& area, const riskwords::Frequency& frequency,
                    const IconColours& colours) {
    const int columns = columnsFor(frequency.people);
    const int rows = (frequency.people + columns - 1) / columns;
    const double cell = std::min(area.width() / columns, area.height() / rows);
    const QPointF origin(area.left() + (area.width() - cell * columns) / 2,
                         area.top() + (area.height() - cell * rows) / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double line = std::max(0.6, cell * 0.07);
    // Under about 16 pixels a figure's outline turns to noise: the people
    // without the outcome become small rings, those with it solid blocks.
    const bool small = cell < 16;
    for (int i = 0; i < frequency.people; ++i) {
        const QRectF box(origin.x() + (i % columns) * cell, origin.y() + (i / columns) * cell, cell,
                         cell);
        QPainterPath person;
        if (!small) {
            person = personIn(box.adjusted(line, line, -line, -line));
        } else if (i < frequency.withOutcome) {
            person.addRoundedRect(box.adjusted(cell * 0.1, cell * 0.1, -cell * 0.1, -cell * 0.1),
                                  cell * 0.15, cell * 0.15);
        } else {
            person.addEllipse(box.center(), cell * 0.25, cell * 0.25);
        }
        if (i < frequency.withOutcome) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colours.withOutcome);
        } else {
            painter.setPen(QPen(colours.without, line));
            painter.setBrush(Qt::NoBrush);
        }
        painter.drawPath(person);
    }
    painter.restore();
}

IconArray::IconArray(QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAccessibleDescription(QStringLiteral("A picture of people like this patient"));
}

void IconArray::setFrequency(const riskwords::Frequency& frequency, const QString& sentence) {
    frequency_ = frequency;
    setAccessibleName(sentence);
    setToolTip(sentence);
    updateGeometry();
    update();
}

void IconArray::clear() {
    frequency_.reset();
    setAccessibleName(QString());
    setToolTip(QString());
    update();
}

QSize IconArray::sizeHint() const {
    return {360, heightForWidth(360)};
}

int IconArray::heightForWidth(int width) const {
    const int people = frequency_ ? frequency_->people : 100;
    const int columns = columnsFor(people);
    return width * ((people + columns - 1) / columns) / columns;
}

void IconArray::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (hasFocus()) {
        QPen focusPen(palette().color(QPalette::Highlight), 2);
        painter.setPen(focusPen);
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
    if (frequency_)
        paintIconArray(painter, QRectF(rect()).adjusted(4, 4, -4, -4), *frequency_,
                       iconColoursOn(palette().color(QPalette::Window)));
}

} // namespace caldrin
