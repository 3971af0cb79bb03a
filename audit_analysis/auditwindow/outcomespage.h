// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/followup.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>

#include <memory>
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

struct AuditLoad;

// The episodes whose outcome is not yet known, one row each.
class OutstandingModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { State, Days, Date, Identity, Physiological, Operative, PPossum, Outcomes, File };
    static constexpr int kColumns = 9;
    // The role sorting uses: numbers for numbers, the state's rank.
    static constexpr int kSortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void setList(std::shared_ptr<const audit::AuditData> data,
                 std::shared_ptr<const std::vector<audit::OutstandingEpisode>> list);
    const audit::OutstandingEpisode& at(int row) const {
        return (*list_)[static_cast<std::size_t>(row)];
    }
    const audit::AuditData* data() const { return data_.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const audit::AuditData> data_;
    std::shared_ptr<const std::vector<audit::OutstandingEpisode>> list_ =
        std::make_shared<const std::vector<audit::OutstandingEpisode>>();
};

// Shows all, the due ones (those without a readable date too) or those not yet due.
class OutstandingFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum class Show { All, Due, NotYetDue };
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setShow(Show show);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    Show show_ = Show::All;
};

// "Outcomes to complete": the list, how complete the outcomes are, and
// "Record an outcome" for the episodes picked, appended to the file that
// held each episode's last record through the calculator's audit file writer.
class OutcomesPage : public QWidget {
    Q_OBJECT
public:
    explicit OutcomesPage(Platform& platform, QWidget* parent = nullptr);

    // The list is made again only when the data are new.
    void show(const std::shared_ptr<const AuditLoad>& load, const audit::Date& today, int dueDays);

    const OutstandingModel* model() const { return model_; }

Q_SIGNALS:
    // Records were appended: the files are to be read again.
    void outcomesRecorded();

private:
    void updateRecordButton();
    void recordOutcome();
    bool confirm(int count, bool morbidity, bool died, const QStringList& files);

    Platform& platform_;
    OutstandingModel* model_ = nullptr;
    OutstandingFilter* filter_ = nullptr;
    QLabel* completenessText_ = nullptr;
    QComboBox* showChoice_ = nullptr;
    QTableView* table_ = nullptr;
    QButtonGroup* morbidityAnswer_ = nullptr;
    QButtonGroup* deathAnswer_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    QLabel* selectionNote_ = nullptr;
    const audit::AuditData* listedData_ = nullptr;
};

} // namespace caldrin::auditwindow
