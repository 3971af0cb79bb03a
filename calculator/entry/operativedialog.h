// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entry/scorepage.h"

namespace caldrin {

// The Operative severity score: six factors, a narrow column on the left and a
// wide one on the right. OK with all six answered hides the dialog and reports
// the score.
class OperativeDialog : public ScorePage {
    Q_OBJECT
public:
    OperativeDialog(Platform& platform, Assessment& assessment, QWidget* parent = nullptr);

    // Empties the dialog; run before each showing.
    void SetUpForm4();

Q_SIGNALS:
    void scoreConfirmed(quint8 total);

protected:
    void pageConfirmed(std::uint8_t pageTotal) override;
};

} // namespace caldrin
