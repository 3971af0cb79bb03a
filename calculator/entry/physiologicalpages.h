// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entry/scorepage.h"

namespace caldrin {

// Physiological score, page 1: nine factors in three columns of three.
// OK with all nine answered hides the page and hands their subtotal on to
// page 2; the Assessment's Physiological score is left alone until page 2 is
// confirmed.
class PhysiologicalPage1 : public ScorePage {
    Q_OBJECT
public:
    PhysiologicalPage1(Platform& platform, Assessment& assessment, QWidget* parent = nullptr);

    // Empties the page; run before each showing.
    void SetUpForm2();
    // Puts the keyboard focus on the Age group, the first stop of the page.
    void focusAgeGroup();

Q_SIGNALS:
    void completed(quint8 subtotal);

protected:
    void pageConfirmed(std::uint8_t pageTotal) override;
};

// Physiological score, page 2: the remaining three factors stacked full width.
// It keeps page 1's subtotal while it is open; OK with all three answered
// hides it and reports the complete score.
class PhysiologicalPage2 : public ScorePage {
    Q_OBJECT
public:
    PhysiologicalPage2(Platform& platform, Assessment& assessment, QWidget* parent = nullptr);

    // Empties the page; run by startPage2 before each showing.
    void SetUpForm3();
    // Page 1 was confirmed with `subtotal`: empties the page, keeps the
    // subtotal and shows the page with the focus on its first group.
    void startPage2(quint8 subtotal);

Q_SIGNALS:
    // The Physiological score: page 1's subtotal plus the three page-2 points.
    void scoreConfirmed(quint8 total);

protected:
    void pageConfirmed(std::uint8_t pageTotal) override;

private:
    std::uint8_t subtotal_ = 0;
};

} // namespace caldrin
