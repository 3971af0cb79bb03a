// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/followup.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <memory>
#include <vector>

namespace caldrin::auditwindow {

// Who an episode is, as its record names them: "name / ID / date of birth"
// ("-" for an empty field) or "hashed <identifier>".
QString episodeIdentity(const audit::AuditData& data, std::size_t episode);

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
    const std::vector<audit::OutstandingEpisode>& list() const { return *list_; }

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

} // namespace caldrin::auditwindow
