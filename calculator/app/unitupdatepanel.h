// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modelupdate/modelupdate.h"

#include <QGroupBox>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace caldrin {

class Platform;

// The unit's own figure beside the published ones: a model updated on this
// unit's audit (core/modelupdate), read from the calculator's configuration
// folder, with its 95% interval. Nothing else depends on it: a missing file
// shows no figure, a file that cannot be used shows one line saying why, and
// the published figures are shown as ever. Opening an update copies it into
// the configuration folder; clearing removes it, each after a confirmation.
class UnitUpdatePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit UnitUpdatePanel(Platform& platform, QWidget* parent = nullptr);
    ~UnitUpdatePanel() override;

    // Where the calculator keeps the update it shows (bedsideupdate::updatePath).
    static QString updatePath();

    // Reads the update file again; what it holds replaces what was shown.
    void load();
    // The update in force, if any.
    const std::optional<modelupdate::ModelUpdate>& update() const { return update_; }

    // The updated figure for these scores, or none.
    void showFigure(int physiologicalScore, int operativeScore, char decimalSeparator);
    void clearFigure();

    // The first and last controls in the keyboard order.
    QWidget* firstControl() const;
    QWidget* lastControl() const;

Q_SIGNALS:
    void updateChanged();

private:
    void openClicked();
    void clearClicked();
    void showState();

    Platform& platform_;
    std::optional<modelupdate::ModelUpdate> update_;
    QString refusal_;

    QLabel* titleLabel;
    QLineEdit* riskEdit;
    QLabel* intervalLabel;
    QLabel* warningLabel;
    QLabel* refusalLabel;
    QPushButton* openButton;
    QPushButton* clearButton;
};

} // namespace caldrin
