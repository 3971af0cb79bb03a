// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/followup.h"
#include "auditwindow/figures.h"
#include "auditwindow/outstandingmodel.h"

#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace caldrin {
class Platform;
}

namespace caldrin::auditwindow {

class FigureTableModel;
struct AuditLoad;

// "Outcomes to complete": the list, how complete the outcomes are, and
// "Record an outcome" for the episodes picked, appended to the file that
// held each episode's last record through the calculator's audit file writer.
class OutcomesPage : public QWidget {
    Q_OBJECT
public:
    explicit OutcomesPage(Platform& platform, QWidget* parent = nullptr);

    // The list is made again only when the data are new.
    void show(const std::shared_ptr<const AuditLoad>& load, const audit::Date& today, int dueDays,
              const NumberFormat& format);

    // While the files are read again the list is out of date: nothing can
    // be recorded from it.
    void setReading(bool reading);

    const OutstandingModel* model() const { return model_; }
    // The episodes listed, as `caldrin-audit --outstanding --format csv`
    // writes them (UTF-8); empty before any file is read.
    QByteArray outstandingCsv() const;
    const FigureTableModel* monthlyModel() const { return monthlyModel_; }

Q_SIGNALS:
    // Records were appended: the files are to be read again.
    void outcomesRecorded();

private:
    void updateRecordButton();
    void selectionChanged();
    void clearAnswers();
    void recordOutcome();
    bool confirm(const QStringList& episodes, const QStringList& replaced, bool morbidity,
                 bool died, const QStringList& files);
    void reselect(const std::vector<std::pair<std::uint32_t, std::string>>& picked);

    Platform& platform_;
    OutstandingModel* model_ = nullptr;
    OutstandingFilter* filter_ = nullptr;
    FigureTableModel* monthlyModel_ = nullptr;
    QLabel* completenessText_ = nullptr;
    QComboBox* showChoice_ = nullptr;
    QTableView* table_ = nullptr;
    QButtonGroup* morbidityAnswer_ = nullptr;
    QButtonGroup* deathAnswer_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    QLabel* selectionNote_ = nullptr;
    QLabel* listNote_ = nullptr;
    QLabel* pickedText_ = nullptr;
    const audit::AuditData* listedData_ = nullptr;
    bool reading_ = false;
    audit::FollowUpOptions followUp_;
};

} // namespace caldrin::auditwindow
