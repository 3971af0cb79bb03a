// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/modelupdatefit.h"
#include "auditwindow/auditexporter.h"
#include "auditwindow/figures.h"

#include <QDialog>

#include <memory>
#include <optional>

class QBoxLayout;
class QChartView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace caldrin {
class Platform;
}

namespace caldrin::auditwindow {

class AuditDialogs;
struct AuditLoad;

// "Update this Model": a model update fitted on the episodes of one
// finished analysis (its files and date range), shown whole before anything
// is kept: the episodes fitted on, each candidate's estimates, the closed
// test, the choice or why there is none, and the calibration before and
// after on the same episodes (apparent: an update always fits its own data
// well). The chosen update can be saved as a file or used at the bedside.
class UpdateFitDialog : public QDialog {
    Q_OBJECT
public:
    UpdateFitDialog(Platform& platform, AuditDialogs& dialogs,
                    std::shared_ptr<const AuditLoad> load, audit::Model model,
                    const NumberFormat& format, QWidget* parent = nullptr);
    ~UpdateFitDialog() override;

    const audit::UpdateFit& fit() const { return fit_; }

Q_SIGNALS:
    // Words for the window's status line: where the update was saved.
    void saved(const QString& done);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillCandidates();
    void fillClosedTest();
    void fillChart();
    // The chosen update as a document, with the unit typed and the files
    // read; empty after an error was shown.
    QByteArray document();
    void saveClicked();
    void bedsideClicked();

    Platform& platform_;
    std::shared_ptr<const AuditLoad> load_;
    audit::Model model_;
    NumberFormat format_;
    AuditExporter exporter_;
    audit::UpdateFit fit_;
    audit::ApparentCalibration calibration_;

    QBoxLayout* columns_ = nullptr;
    QLabel* episodesLabel = nullptr;
    QTableWidget* candidateTable = nullptr;
    QTableWidget* closedTestTable = nullptr;
    QLabel* choiceLabel = nullptr;
    QChartView* calibrationView = nullptr;
    QLineEdit* unitEdit = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* bedsideButton = nullptr;
};

} // namespace caldrin::auditwindow
