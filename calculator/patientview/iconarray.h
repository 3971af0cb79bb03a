// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "patientview_core/riskwords.h"

#include <QColor>
#include <QWidget>

class QPainter;

namespace caldrin {

// The two kinds of people in the picture. Those with the outcome are solid
// figures, the others outlines, so the picture reads in grey and without
// colour vision; the colour only adds to it.
struct IconColours {
    QColor withOutcome;
    QColor without;
};

// Colours that read on `background`, light or dark.
IconColours iconColoursOn(const QColor& background);

// Draws `frequency.people` figures in rows (10 across for 100, 40 across for
// 1,000), the first `frequency.withOutcome` solid, centred in `area`.
void paintIconArray(QPainter& painter, const QRectF& area, const riskwords::Frequency& frequency,
                    const IconColours& colours);

// The picture on screen. Its text equivalent for screen readers is the
// sentence it shows, set as its accessible name.
class IconArray : public QWidget {
public:
    explicit IconArray(QWidget* parent = nullptr);

    void setFrequency(const riskwords::Frequency& frequency, const QString& sentence);
    void clear();

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<riskwords::Frequency> frequency_;
};

} // namespace caldrin
