// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/outcomespage.h"

#include "audit/completeness.h"
#include "auditformat/cp1252.h"
#include "auditwindow/auditloader.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/monthlycompleteness.h"
#include "auditwindow/pagefit.h"
#include "auditwindow/summarypage.h"
#include "platform/platform.h"
#include "records_core/auditfile.h"
#include "records_core/auditrecord.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QString completenessLines(const Completeness& completeness) {
    QStringList lines;
    for (const OutcomeCompleteness* o : {&completeness.outcomes[1], &completeness.outcomes[0]}) {
        const CompletenessCounts& c = o->overall;
        const std::optional<double> share = c.knownShareOfDue();
        lines << QStringLiteral("%1: %2 of %3 due episodes have a known outcome%4; %5 unknown and "
                                "due, %6 not yet due.")
                     .arg(o->outcome == Outcome::Mortality ? QStringLiteral("Mortality")
                                                           : QStringLiteral("Morbidity"))
                     .arg(c.knownDue)
                     .arg(c.due())
                     .arg(share ? QStringLiteral(" (%1%)").arg(*share * 100, 0, 'f', 1) : QString())
                     .arg(c.unknownDue)
                     .arg(c.unknownNotDue);
    }
    for (const OutcomeCompleteness& o : completeness.outcomes)
        if (o.incomplete())
            lines << QString::fromStdString(incompleteWarning(o, completeness.dueDays));
    return lines.join(QLatin1Char('\n'));
}

QString fromCp1252(std::string_view bytes) {
    return QString::fromStdString(caldrin::utf8FromCp1252(bytes));
}

// What the file records for one outcome, in words.
QString storedText(std::string_view text) {
    const QString trimmed = fromCp1252(text).trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("blank");
    if (trimmed == QLatin1String("0"))
        return QStringLiteral("0 (no)");
    if (trimmed == QLatin1String("1"))
        return QStringLiteral("1 (yes)");
    return QStringLiteral("\u201c%1\u201d").arg(trimmed);
}

// Whether writing `answer` over `text` changes something the file records:
// a 0 or 1 that differs, or any other text that is not blank.
bool replaces(std::string_view text, bool answer) {
    const QString trimmed = fromCp1252(text).trimmed();
    return !trimmed.isEmpty() && trimmed != (answer ? QLatin1String("1") : QLatin1String("0"));
}

QString yesNo(bool answer) {
    return answer ? QStringLiteral("Yes") : QStringLiteral("No");
}

// "Smith, Jo / 77 / 01/02/1950, operated 01/10/2026; recorded: significant
// morbidity blank, died “yes died”".
QString episodeText(const AuditData& data, std::size_t episode) {
    const auto [morbidity, mortality] = data.outcomeTexts(episode);
    return QStringLiteral("%1, operated %2; recorded: significant morbidity %3, died %4")
        .arg(episodeIdentity(data, episode), fromCp1252(data.dateText(episode)),
             storedText(morbidity), storedText(mortality));
}

} // namespace

// ------------------------------------------------------------------ page

OutcomesPage::OutcomesPage(Platform& platform, QWidget* parent)
    : QWidget(parent)
    , platform_(platform) {
    setObjectName(QStringLiteral("outcomesPage"));
    auto* contents = new QWidget;
    auto* layout = new QVBoxLayout(contents);
    completenessText_ = new QLabel(QStringLiteral("Open audit data files to see the episodes "
                                                  "whose outcome is not yet known."));
    completenessText_->setObjectName(QStringLiteral("completenessText"));
    completenessText_->setWordWrap(true);
    completenessText_->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                               Qt::TextSelectableByMouse);
    completenessText_->setFocusPolicy(Qt::StrongFocus);
    completenessText_->setAccessibleName(QStringLiteral("Completeness of outcomes"));
    layout->addWidget(completenessText_);

    // The months whose outcomes are still to be chased, above the episodes.
    auto* split = new QSplitter(Qt::Vertical);
    split->setObjectName(QStringLiteral("outcomesSplitter"));
    split->setChildrenCollapsible(false);
    auto* months = new QWidget;
    auto* monthsLayout = new QVBoxLayout(months);
    monthsLayout->setContentsMargins(0, 0, 0, 0);
    monthlyModel_ = new FigureTableModel(this);
    auto* monthsView =
        makeTableView(monthlyModel_, QStringLiteral("completenessByMonth"),
                      QStringLiteral("Completeness of follow-up by month of procedure"));
    auto* monthsLabel = new QLabel(QStringLiteral("&By month of procedure:"));
    monthsLabel->setBuddy(monthsView);
    monthsLayout->addWidget(monthsLabel);
    keepFitted(monthsView, 3);
    monthsLayout->addWidget(monthsView);
    split->addWidget(months);
    auto* episodes = new QWidget;
    auto* episodesLayout = new QVBoxLayout(episodes);
    episodesLayout->setContentsMargins(0, 0, 0, 0);

    auto* showRow = new QHBoxLayout;
    showChoice_ = new QComboBox;
    showChoice_->setObjectName(QStringLiteral("outcomeFilter"));
    showChoice_->addItems({QStringLiteral("All episodes without a known outcome"),
                           QStringLiteral("Due (and without a readable date)"),
                           QStringLiteral("Not yet due")});
    auto* showLabel = new QLabel(QStringLiteral("L&ist:"));
    showLabel->setBuddy(showChoice_);
    showRow->addWidget(showLabel);
    showRow->addWidget(showChoice_);
    listNote_ = new QLabel;
    listNote_->setObjectName(QStringLiteral("outcomeListNote"));
    listNote_->setWordWrap(true);
    showRow->addWidget(listNote_, 1);
    episodesLayout->addLayout(showRow);

    model_ = new OutstandingModel(this);
    filter_ = new OutstandingFilter(this);
    filter_->setSourceModel(model_);
    filter_->setSortRole(OutstandingModel::kSortRole);
    table_ = new QTableView;
    table_->setObjectName(QStringLiteral("outstandingTable"));
    table_->setAccessibleName(QStringLiteral("Outcomes to complete"));
    table_->setModel(filter_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder); // the engine's order: due first
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    // A few episodes in view however small the window: the page scrolls instead.
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             5 * table_->verticalHeader()->defaultSectionSize());
    episodesLayout->addWidget(table_, 1);
    split->addWidget(episodes);
    split->setStretchFactor(1, 3);
    layout->addWidget(split, 1);
    connect(showChoice_, &QComboBox::currentIndexChanged, this, [this](int index) {
        filter_->setShow(static_cast<OutstandingFilter::Show>(index));
        updateRecordButton();
    });

    auto* recordBox = new QGroupBox(QStringLiteral("Record an outcome for the episodes picked"));
    recordBox->setObjectName(QStringLiteral("recordOutcomeBox"));
    auto* recordRow = new QHBoxLayout(recordBox);
    const auto answer = [&](const QString& title, const QString& name, QButtonGroup*& group) {
        auto* box = new QGroupBox(title);
        box->setObjectName(name);
        auto* row = new QHBoxLayout(box);
        group = new QButtonGroup(box);
        int id = 0;
        for (const QString& text : {QStringLiteral("&No"), QStringLiteral("&Yes")}) {
            auto* button = new QRadioButton(text);
            button->setObjectName(name + (id == 0 ? QStringLiteral("No") : QStringLiteral("Yes")));
            button->setAccessibleName(QStringLiteral("%1: %2").arg(title, text.mid(1)));
            group->addButton(button, id++);
            row->addWidget(button);
        }
        recordRow->addWidget(box);
        connect(group, &QButtonGroup::idClicked, this, &OutcomesPage::updateRecordButton);
    };
    answer(QStringLiteral("Si&gnificant morbidity"), QStringLiteral("morbidity"), morbidityAnswer_);
    answer(QStringLiteral("Died (&within 30 days or in hospital)"), QStringLiteral("death"),
           deathAnswer_);
    // Each group's title letter takes the keys to its answers; the buttons'
    // own letters would clash between the two groups.
    for (QButtonGroup* group : {morbidityAnswer_, deathAnswer_})
        for (QAbstractButton* button : group->buttons()) {
            button->setText(button->text().remove(QLatin1Char('&')));
            button->setAccessibleName(button->accessibleName().remove(QLatin1Char('&')));
        }
    recordButton_ = new QPushButton(QStringLiteral("&Record outcome..."));
    recordButton_->setObjectName(QStringLiteral("recordOutcomeButton"));
    recordRow->addWidget(recordButton_);
    recordRow->addStretch(1);
    pickedText_ = new QLabel;
    pickedText_->setObjectName(QStringLiteral("pickedEpisodes"));
    pickedText_->setWordWrap(true);
    pickedText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(pickedText_);
    layout->addWidget(recordBox);
    selectionNote_ = new QLabel;
    selectionNote_->setObjectName(QStringLiteral("selectionNote"));
    selectionNote_->setWordWrap(true);
    layout->addWidget(selectionNote_);
    scrollInside(this, contents);
    connect(recordButton_, &QPushButton::clicked, this, &OutcomesPage::recordOutcome);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OutcomesPage::selectionChanged);
    updateRecordButton();
}

QByteArray OutcomesPage::outstandingCsv() const {
    if (!model_->data())
        return {};
    return QByteArray::fromStdString(
        formatOutstanding(*model_->data(), model_->list(), followUp_, ReportFormat::Csv));
}

void OutcomesPage::setReading(bool reading) {
    reading_ = reading;
    updateRecordButton();
}

// Another patient picked: the answers given for the one before must not
// carry over to them.
void OutcomesPage::selectionChanged() {
    clearAnswers();
    const AuditData* data = model_->data();
    QStringList lines;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    constexpr int kShown = 5;
    for (const QModelIndex& index : rows) {
        if (lines.size() == kShown) {
            lines << QStringLiteral("and %1 more.").arg(rows.size() - kShown);
            break;
        }
        lines << episodeText(*data, model_->at(filter_->mapToSource(index).row()).episode);
    }
    pickedText_->setText(lines.isEmpty()
                             ? QString()
                             : QStringLiteral("Picked: ") + lines.join(QStringLiteral("\n")));
    updateRecordButton();
}

void OutcomesPage::clearAnswers() {
    for (QButtonGroup* group : {morbidityAnswer_, deathAnswer_}) {
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons())
            button->setChecked(false);
        group->setExclusive(true);
    }
}

void OutcomesPage::show(const std::shared_ptr<const AuditLoad>& load, const Date& today,
                        int dueDays, const NumberFormat& format) {
    if (load->result.completeness) {
        completenessText_->setText(completenessLines(*load->result.completeness));
        monthlyModel_->setTable(monthlyCompletenessTable(*load->result.completeness, format));
    }
    listNote_->setText(
        QStringLiteral("Every date of procedure is listed, whatever the date range "
                       "above; follow-up is measured on %1.")
            .arg(QDate(today.year, today.month, today.day).toString(QStringLiteral("d MMM yyyy"))));
    if (listedData_ == load->data.get())
        return;
    // The episodes picked before the files were read again stay picked
    // where they are still listed (by file and record, not by row).
    std::vector<std::pair<std::uint32_t, std::string>> picked;
    if (const AuditData* before = model_->data())
        for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
            const std::uint32_t episode = model_->at(filter_->mapToSource(index).row()).episode;
            picked.emplace_back(before->episodes()[episode].file, followUpKey(*before, episode));
        }
    listedData_ = load->data.get();
    FollowUpOptions options;
    options.today = today;
    options.dueDays = dueDays;
    followUp_ = options;
    // The loader lists the episodes of files it reads; made here otherwise.
    model_->setList(load->data, load->outstanding
                                    ? load->outstanding
                                    : std::make_shared<const std::vector<OutstandingEpisode>>(
                                          outstandingEpisodes(*load->data, options)));
    table_->resizeColumnsToContents();
    reselect(picked);
    updateRecordButton();
}

void OutcomesPage::reselect(const std::vector<std::pair<std::uint32_t, std::string>>& picked) {
    const AuditData* data = model_->data();
    if (picked.empty() || !data)
        return;
    QItemSelection selection;
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const std::uint32_t episode =
            model_->at(filter_->mapToSource(filter_->index(row, 0)).row()).episode;
        const std::pair<std::uint32_t, std::string> key(data->episodes()[episode].file,
                                                        followUpKey(*data, episode));
        if (!key.second.empty() && std::find(picked.begin(), picked.end(), key) != picked.end())
            selection.select(filter_->index(row, 0),
                             filter_->index(row, OutstandingModel::kColumns - 1));
    }
    table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void OutcomesPage::updateRecordButton() {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    int barred = 0;
    for (const QModelIndex& index : rows)
        barred += !model_->at(filter_->mapToSource(index).row()).canFollowUp();
    QString note;
    if (reading_)
        note = QStringLiteral("The files are being read again; outcomes can be recorded once the "
                              "list is up to date.");
    else if (rows.isEmpty())
        note = QStringLiteral("Pick one or more episodes in the list, answer both questions, then "
                              "Record outcome.");
    else if (barred > 0)
        note = QStringLiteral("%1 of the episodes picked cannot be followed up: no later record "
                              "can be matched to a record without a name, identity number, "
                              "date of birth or hashed identifier, or with more fields than the "
                              "file's columns. They are left out.")
                   .arg(barred);
    selectionNote_->setText(note);
    recordButton_->setEnabled(!reading_ && rows.size() > barred &&
                              morbidityAnswer_->checkedId() >= 0 && deathAnswer_->checkedId() >= 0);
}

// Names each patient and what their record will say; where the file already
// records something else, the Record button waits for a tick that says so.
bool OutcomesPage::confirm(const QStringList& episodes, const QStringList& replaced, bool morbidity,
                           bool died, const QStringList& files) {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("confirmOutcomeDialog"));
    dialog.setWindowTitle(QStringLiteral("Record an outcome"));
    auto* layout = new QVBoxLayout(&dialog);
    const int count = static_cast<int>(episodes.size());
    auto* text = new QLabel(
        QStringLiteral("Add %1 with significant morbidity: %2 and died: %3 to %4?\n\n%5\n\nEach "
                       "record repeats its episode's last record with the outcome filled in; "
                       "nothing in the file is changed or deleted.")
            .arg(count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count),
                 yesNo(morbidity), yesNo(died), files.join(QStringLiteral(", ")),
                 episodes.join(QStringLiteral("\n"))));
    text->setObjectName(QStringLiteral("confirmText"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* record =
        buttons->addButton(QStringLiteral("&Record"), QDialogButtonBox::AcceptRole);
    record->setObjectName(QStringLiteral("confirmRecordButton"));
    if (!replaced.isEmpty()) {
        auto* warning = new QLabel(
            QStringLiteral("This replaces what the file records:\n%1\n\nThe analysis counts "
                           "the new record in place of the old one.")
                .arg(replaced.join(QStringLiteral("\n"))));
        warning->setObjectName(QStringLiteral("confirmReplacedText"));
        warning->setWordWrap(true);
        layout->addWidget(warning);
        auto* check = new QCheckBox(QStringLiteral("R&eplace the recorded outcomes named above"));
        check->setObjectName(QStringLiteral("confirmReplaceCheck"));
        layout->addWidget(check);
        record->setEnabled(false);
        connect(check, &QCheckBox::toggled, record, &QPushButton::setEnabled);
        buttons->button(QDialogButtonBox::Cancel)->setDefault(true);
    } else {
        record->setDefault(true);
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return platform_.runModal(dialog) == QDialog::Accepted;
}

void OutcomesPage::recordOutcome() {
    // The list read from the files last is the one shown: it holds the data
    // it was made from for as long as it is shown.
    const AuditData* data = model_->data();
    if (!data || !recordButton_->isEnabled())
        return;
    const bool morbidity = morbidityAnswer_->checkedId() == 1;
    const bool died = deathAnswer_->checkedId() == 1;
    // Each file gets its records in one write: all of them or none.
    std::map<std::uint32_t, std::string> linesByFile;
    QStringList episodes;
    QStringList replaced;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        const OutstandingEpisode& o = model_->at(filter_->mapToSource(index).row());
        const std::optional<LeadingFields> fields = followUpFields(*data, o.episode);
        const std::optional<std::string> line =
            o.canFollowUp() && fields ? outcomeRecordLine(*fields, morbidity, died) : std::nullopt;
        if (!line)
            continue;
        linesByFile[data->episodes()[o.episode].file] += *line;
        episodes << episodeText(*data, o.episode);
        const auto [morbidityText, mortalityText] = data->outcomeTexts(o.episode);
        QStringList changes;
        if (replaces(morbidityText, morbidity))
            changes << QStringLiteral("significant morbidity %1 becomes %2")
                           .arg(storedText(morbidityText), yesNo(morbidity));
        if (replaces(mortalityText, died))
            changes
                << QStringLiteral("died %1 becomes %2").arg(storedText(mortalityText), yesNo(died));
        if (!changes.isEmpty())
            replaced << QStringLiteral("%1: %2").arg(episodeIdentity(*data, o.episode),
                                                     changes.join(QStringLiteral("; ")));
    }
    QStringList names;
    for (const auto& [file, lines] : linesByFile)
        names << QString::fromStdString(data->files()[file].path);
    if (episodes.isEmpty() || !confirm(episodes, replaced, morbidity, died, names))
        return;

    bool written = false;
    for (const auto& [file, lines] : linesByFile) {
        const std::string& path = data->files()[file].path;
        const QString name = QString::fromStdString(path);
        // The writer would create a missing file; an outcome belongs only in
        // the file that holds its episode.
        if (!QFileInfo::exists(name)) {
            platform_.showMessage(this, QStringLiteral("%1 is no longer there, so nothing was "
                                                       "written to it.")
                                            .arg(name));
            continue;
        }
        AuditFile auditFile;
        const bool ok = auditFile.open(path) && auditFile.appendRecordLines(lines);
        const AuditFileProblem problem = auditFile.problem();
        if (!auditFile.close() && ok) {
            platform_.showMessage(this, QStringLiteral("Failure to close output file."));
        }
        if (!ok) {
            const std::string_view text = auditFileProblemMessage(problem);
            platform_.showMessage(
                this,
                QStringLiteral("%1\n%2").arg(
                    name, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
            continue;
        }
        written = true;
        platform_.showMessage(this, QStringLiteral("Record added to ") + name);
    }
    if (written)
        Q_EMIT outcomesRecorded();
}

} // namespace caldrin::auditwindow
