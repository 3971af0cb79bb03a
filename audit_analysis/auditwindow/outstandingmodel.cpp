// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/outstandingmodel.h"

#include "auditformat/cp1252.h"

#include <QFileInfo>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QString fromCp1252(std::string_view bytes) {
    return QString::fromStdString(caldrin::utf8FromCp1252(bytes));
}

// "No", "Yes", "unknown" for a blank, or the text as written ("yes died"),
// which the analysis cannot count.
QString outcomeText(int outcome, std::string_view stored) {
    if (outcome >= 0)
        return outcome ? QStringLiteral("Yes") : QStringLiteral("No");
    const QString text = fromCp1252(stored).trimmed();
    return text.isEmpty() ? QStringLiteral("unknown") : QStringLiteral("\u201c%1\u201d").arg(text);
}

} // namespace

QString episodeIdentity(const AuditData& data, std::size_t episode) {
    return QString::fromStdString(identityText(data, episode));
}

void OutstandingModel::setList(std::shared_ptr<const AuditData> data,
                               std::shared_ptr<const std::vector<OutstandingEpisode>> list) {
    beginResetModel();
    data_ = std::move(data);
    list_ = std::move(list);
    endResetModel();
}

int OutstandingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_->size());
}

int OutstandingModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant OutstandingModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !data_ ||
        (role != Qt::DisplayRole && role != kSortRole && role != Qt::TextAlignmentRole &&
         role != Qt::ToolTipRole))
        return {};
    const OutstandingEpisode& o = at(index.row());
    const Episode& e = data_->episodes()[o.episode];
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column == Days || column == Physiological || column == Operative || column == PPossum
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (role == Qt::ToolTipRole)
        return o.canFollowUp()
                   ? QVariant()
                   : QString::fromUtf8(followUpBarText(o.bar).data(),
                                       static_cast<qsizetype>(followUpBarText(o.bar).size()));
    const double risk =
        e.riskTenThousandths[static_cast<std::size_t>(Model::PPossumMortality)] / 10000.0;
    switch (column) {
    case State: {
        if (role == kSortRole)
            return static_cast<int>(o.state) * 2 + (o.canFollowUp() ? 0 : 1);
        QString text = QString::fromUtf8(followUpStateText(o.state).data());
        if (!o.canFollowUp())
            text += QStringLiteral(", cannot be followed up");
        return text;
    }
    case Days:
        if (role == kSortRole)
            return o.daysSince ? *o.daysSince : -1;
        return o.daysSince ? QString::number(*o.daysSince) : QStringLiteral("-");
    case Date:
        return fromCp1252(data_->dateText(o.episode));
    case Identity:
        return episodeIdentity(*data_, o.episode);
    case Physiological:
        return role == kSortRole ? QVariant(e.physiologicalScore)
                                 : QVariant(QString::number(e.physiologicalScore));
    case Operative:
        return role == kSortRole ? QVariant(e.operativeScore)
                                 : QVariant(QString::number(e.operativeScore));
    case PPossum:
        return role == kSortRole ? QVariant(risk)
                                 : QVariant(QStringLiteral("%1%").arg(risk * 100, 0, 'f', 2));
    case Outcomes: {
        const auto [morbidity, mortality] = data_->outcomeTexts(o.episode);
        return QStringLiteral("%1 / %2").arg(outcomeText(e.morbidity, morbidity),
                                             outcomeText(e.mortality, mortality));
    }
    case File: {
        const QString path = QString::fromStdString(data_->files()[e.file].path);
        if (role == kSortRole)
            return QStringLiteral("%1:%2").arg(path).arg(e.line, 10, 10, QLatin1Char('0'));
        return QStringLiteral("%1, line %2").arg(QFileInfo(path).fileName()).arg(e.line);
    }
    default:
        return {};
    }
}

QVariant OutstandingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kTitles[kColumns] = {
        "Follow-up",   "Days since", "Date of procedure", "Name / ID / date of birth",
        "Phys. score", "Op. score",  "P-POSSUM risk",     "Morbidity / death",
        "File"};
    return QString::fromLatin1(kTitles[section]);
}

void OutstandingFilter::setShow(Show show) {
    show_ = show;
    invalidateFilter();
}

bool OutstandingFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (show_ == Show::All)
        return true;
    const auto* model = static_cast<const OutstandingModel*>(sourceModel());
    const bool due = model->at(sourceRow).due();
    return show_ == Show::Due ? due : !due;
}

} // namespace caldrin::auditwindow
