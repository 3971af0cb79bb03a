// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/operativedialog.h"

namespace caldrin {

OperativeDialog::OperativeDialog(Platform& platform, Assessment& assessment, QWidget* parent)
    : ScorePage(platform, assessment, Page::Operative, QStringLiteral("Operative Severity Score"),
                parent) {
    setObjectName(QStringLiteral("TForm4"));
}

void OperativeDialog::SetUpForm4() {
    setUpPage();
}

void OperativeDialog::pageConfirmed(std::uint8_t pageTotal) {
    Q_EMIT scoreConfirmed(pageTotal);
}

} // namespace caldrin
