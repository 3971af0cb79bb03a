// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/physiologicalpages.h"

#include "widgets/optiongroup.h"

namespace caldrin {

PhysiologicalPage1::PhysiologicalPage1(Platform& platform, Assessment& assessment, QWidget* parent)
    : ScorePage(platform, assessment, Page::Physiological1,
                QStringLiteral("Physiological Score - Page 1"), parent) {
    setObjectName(QStringLiteral("TForm2"));
}

void PhysiologicalPage1::SetUpForm2() {
    setUpPage();
}

void PhysiologicalPage1::focusAgeGroup() {
    groupOf(Factor::Age)->setFocus(Qt::OtherFocusReason);
    update();
}

void PhysiologicalPage1::pageConfirmed(std::uint8_t pageTotal) {
    Q_EMIT completed(pageTotal);
}

PhysiologicalPage2::PhysiologicalPage2(Platform& platform, Assessment& assessment, QWidget* parent)
    : ScorePage(platform, assessment, Page::Physiological2,
                QStringLiteral("Physiological score - Page 2"), parent) {
    setObjectName(QStringLiteral("TForm3"));
    connect(this, &ScorePage::scoreCancelled, this, [this] { subtotal_ = 0; });
}

void PhysiologicalPage2::SetUpForm3() {
    setUpPage();
}

void PhysiologicalPage2::startPage2(quint8 subtotal) {
    SetUpForm3();
    subtotal_ = subtotal;
    show();
    raise();
    activateWindow();
    // Page 2 always starts empty, so the keyboard starts at its first group
    // rather than wherever the focus was left last time.
    focusFirstGroup();
}

void PhysiologicalPage2::pageConfirmed(std::uint8_t pageTotal) {
    const auto total = static_cast<std::uint8_t>(subtotal_ + pageTotal);
    subtotal_ = 0;
    Q_EMIT scoreConfirmed(total);
}

} // namespace caldrin
