// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview/patientsheet.h"

#include "patientview/iconarray.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace caldrin {

namespace {

// Writes paragraphs down the page, each wrapped to the page's width.
class PageWriter {
public:
    PageWriter(QPainter& painter, const QRectF& page)
        : painter_(painter)
        , page_(page)
        , y_(page.top()) {}

    void paragraph(const QString& text, double points, bool bold = false, double spaceAfter = 0.5) {
        if (text.isEmpty())
            return;
        QFont font(QStringLiteral("Sans Serif"));
        font.setPointSizeF(points);
        font.setBold(bold);
        // No ligatures: "fi" stays two letters, so the PDF's text is
        // searched and read aloud as it is written.
        font.setStyleStrategy(QFont::PreferNoShaping);
        painter_.setFont(font);
        const QRectF room(page_.left(), y_, page_.width(), page_.bottom() - y_);
        QRectF used;
        painter_.drawText(room, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text, &used);
        y_ = used.bottom() + painter_.fontMetrics().height() * spaceAfter;
    }

    QRectF take(double height) {
        const QRectF area(page_.left(), y_, page_.width(), height);
        y_ += height;
        return area;
    }

    // A line to write on, a handwritten line's height below the last.
    void line(const QString& label, double points) {
        paragraph(label, points, false, 0.2);
        if (label.isEmpty())
            y_ += painter_.fontMetrics().height() * 1.2;
        painter_.drawLine(QPointF(page_.left(), y_), QPointF(page_.right(), y_));
        y_ += painter_.fontMetrics().height() * 0.8;
    }

    double y() const { return y_; }
    double bottom() const { return page_.bottom(); }
    double width() const { return page_.width(); }

private:
    QPainter& painter_;
    QRectF page_;
    double y_;
};

} // namespace

bool paintPatientSheet(QPagedPaintDevice& device, const PatientSheet& sheet) {
    device.setPageMargins(QMarginsF(18, 15, 18, 15), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setPen(Qt::black);
    // The painter starts at the printable area's corner; the device's size
    // is that area's.
    const QRectF page(0, 0, device.width(), device.height());
    PageWriter writer(painter, page);

    writer.paragraph(QStringLiteral("About your operation: the risk in numbers"), 20, true, 0.3);
    QString heading = sheet.date;
    if (!sheet.patientName.isEmpty())
        heading = sheet.patientName + QStringLiteral("    ") + heading;
    writer.paragraph(heading, 13, false, 0.6);

    // The picture takes at most a quarter of the page, leaving room for notes; 1,000 people are
    // drawn 40 across, so their rows are shorter.
    const double pictureHeight = std::min(
        writer.width() * (sheet.frequency.people > 100 ? 25.0 / 40 : 1.0), page.height() * 0.24);
    paintIconArray(painter, writer.take(pictureHeight), sheet.frequency, iconColoursOn(Qt::white));
    writer.take(painter.device()->logicalDpiY() * 0.1);
    painter.setPen(Qt::black);

    writer.paragraph(sheet.sentence, 15, true);
    writer.paragraph(sheet.complications, 12);
    writer.paragraph(sheet.uncertainty, 12);
    writer.paragraph(sheet.population, 12);
    writer.paragraph(QStringLiteral("What adds most to this risk"), 14, true, 0.3);
    for (const QString& driver : sheet.drivers)
        writer.paragraph(QStringLiteral("\u2022 ") + driver, 12, false, 0.2);
    writer.paragraph(sheet.driversNote, 12);
    writer.paragraph(QStringLiteral("Where the figure comes from: ") + sheet.source, 12);
    writer.line(QStringLiteral("Clinician's name:"), 12);
    writer.paragraph(QStringLiteral("Notes:"), 12, false, 0.2);
    for (int i = 0; i < 5 && writer.y() < writer.bottom() - painter.fontMetrics().height() * 2.5;
         ++i)
        writer.line(QString(), 12);
    return painter.end();
}

} // namespace caldrin
