// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/unitupdatepanel.h"

#include "bedsideupdate/bedsideupdate.h"
#include "platform/platform.h"
#include "scoring/risk.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace caldrin {

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

QLabel* makeNote(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // Reached by Tab, so that a screen reader reads it.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::StrongFocus);
    return label;
}

QDate dateOf(const CalendarDate& date) {
    return QDate(date.year, date.month, date.day);
}

} // namespace

UnitUpdatePanel::UnitUpdatePanel(Platform& platform, QWidget* parent)
    : QGroupBox(QStringLiteral("This unit's figure"), parent)
    , platform_(platform) {
    setObjectName(QStringLiteral("UnitUpdate"));
    titleLabel = makeNote(QStringLiteral("UnitUpdateTitle"), this);
    riskEdit = new QLineEdit(this);
    riskEdit->setObjectName(QStringLiteral("UnitUpdateRisk"));
    riskEdit->setReadOnly(true);
    riskEdit->setAccessibleName(QStringLiteral("Updated risk"));
    riskEdit->setMinimumWidth(riskEdit->fontMetrics().horizontalAdvance(QStringLiteral("100.00%")) +
                              16);
    riskEdit->setMaximumWidth(riskEdit->minimumWidth());
    intervalLabel = makeNote(QStringLiteral("UnitUpdateInterval"), this);
    warningLabel = makeNote(QStringLiteral("UnitUpdateWarning"), this);
    QFont bold = warningLabel->font();
    bold.setBold(true);
    warningLabel->setFont(bold);
    refusalLabel = makeNote(QStringLiteral("UnitUpdateRefusal"), this);
    openButton = new QPushButton(QStringLiteral("Open an &update..."), this);
    openButton->setObjectName(QStringLiteral("OpenUnitUpdate"));
    openButton->setAutoDefault(false);
    openButton->setToolTip(
        QStringLiteral("Use an update made by caldrin-audit --update for this unit's figure"));
    clearButton = new QPushButton(QStringLiteral("C&lear the update..."), this);
    clearButton->setObjectName(QStringLiteral("ClearUnitUpdate"));
    clearButton->setAutoDefault(false);
    clearButton->setToolTip(QStringLiteral("Show the published figures only"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(titleLabel, 0, 0, 1, 2);
    layout->addWidget(riskEdit, 1, 0);
    layout->addWidget(intervalLabel, 1, 1);
    layout->addWidget(warningLabel, 2, 0, 1, 2);
    layout->addWidget(refusalLabel, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(openButton);
    buttons->addWidget(clearButton);
    buttons->addStretch(1);
    layout->addLayout(buttons, 4, 0, 1, 2);
    layout->setColumnStretch(1, 1);

    QWidget::setTabOrder(titleLabel, riskEdit);
    QWidget::setTabOrder(riskEdit, intervalLabel);
    QWidget::setTabOrder(intervalLabel, warningLabel);
    QWidget::setTabOrder(warningLabel, refusalLabel);
    QWidget::setTabOrder(refusalLabel, openButton);
    QWidget::setTabOrder(openButton, clearButton);

    connect(openButton, &QPushButton::clicked, this, &UnitUpdatePanel::openClicked);
    connect(clearButton, &QPushButton::clicked, this, &UnitUpdatePanel::clearClicked);
    showState();
}

UnitUpdatePanel::~UnitUpdatePanel() = default;

QString UnitUpdatePanel::updatePath() {
    return bedsideupdate::updatePath();
}

QWidget* UnitUpdatePanel::firstControl() const {
    return titleLabel;
}

QWidget* UnitUpdatePanel::lastControl() const {
    return clearButton;
}

void UnitUpdatePanel::load() {
    bedsideupdate::InPlace inPlace = bedsideupdate::readInPlace();
    update_ = std::move(inPlace.update);
    refusal_ = std::move(inPlace.refusal);
    showState();
}

void UnitUpdatePanel::showState() {
    const bool set = update_.has_value();
    titleLabel->setVisible(set);
    riskEdit->setVisible(set);
    intervalLabel->setVisible(set);
    refusalLabel->setVisible(!refusal_.isEmpty());
    refusalLabel->setText(refusal_);
    clearButton->setEnabled(set || !refusal_.isEmpty());
    warningLabel->setVisible(false);
    clearFigure();
    if (!set) {
        titleLabel->clear();
        setToolTip({});
        return;
    }
    const QString title = text(modelupdate::updateTitle(*update_));
    titleLabel->setText(title);
    riskEdit->setAccessibleName(title);
    const QDate end = dateOf(update_->to);
    if (end.addYears(2) < platform_.today()) {
        warningLabel->setText(
            QStringLiteral("Warning: this update is more than two years old (its data end on %1). "
                           "Fit it again on the unit's recent audit.")
                .arg(end.toString(QStringLiteral("d MMM yyyy"))));
        warningLabel->setVisible(true);
    }
    const QString meaning =
        QStringLiteral("%1 of the published %2 on this unit's audit:\n%3, L being the published "
                       "equation's log-odds.\nIt corrects the published figure to this unit's "
                       "case mix and period; it does not rank patients better.\nThe 95% "
                       "interval says how precisely the audit pins the corrected figure down, "
                       "not what will happen to this patient.\nF1: help on this figure.")
            .arg(text(modelupdate::methodTitle(update_->method)),
                 text(riskmodels::model(update_->model).title),
                 bedsideupdate::equationWithEstimates(*update_));
    QString capitalised = meaning;
    capitalised[0] = capitalised[0].toUpper();
    for (QWidget* w : std::initializer_list<QWidget*>{titleLabel, riskEdit, intervalLabel})
        w->setToolTip(capitalised);
}

void UnitUpdatePanel::showFigure(int physiologicalScore, int operativeScore,
                                 char decimalSeparator) {
    if (!update_)
        return;
    const modelupdate::UpdatedRisk r =
        modelupdate::applyUpdate(*update_, physiologicalScore, operativeScore);
    if (!std::isfinite(r.risk)) {
        riskEdit->clear();
        intervalLabel->setText(
            QStringLiteral("No figure: the update gives none for these scores."));
        return;
    }
    riskEdit->setText(QString::fromStdString(FormatRiskPercent(r.risk, decimalSeparator)));
    if (r.lower && r.upper)
        intervalLabel->setText(
            QStringLiteral("95% interval %1 to %2")
                .arg(
                    QString::fromStdString(FormatRiskPercent(*r.lower, decimalSeparator)).trimmed(),
                    QString::fromStdString(FormatRiskPercent(*r.upper, decimalSeparator))
                        .trimmed()));
    else
        intervalLabel->setText(QStringLiteral("No interval: nothing was estimated."));
}

void UnitUpdatePanel::clearFigure() {
    riskEdit->clear();
    intervalLabel->clear();
}

void UnitUpdatePanel::openClicked() {
    OpenFileRequest request;
    request.title = QStringLiteral("Open an update of a model");
    request.filters = {QStringLiteral("Model updates (*.json)"), QStringLiteral("All files (*)")};
    request.purpose = FilePurpose::AuditData;
    const std::optional<OpenFileChoice> choice = platform_.chooseFileToOpen(this, request);
    if (!choice || !bedsideupdate::useAtBedside(platform_, this, kApplicationTitle,
                                                bedsideupdate::readOnce(choice->path)))
        return;
    load();
    Q_EMIT updateChanged();
}

void UnitUpdatePanel::clearClicked() {
    const QString shown =
        update_ ? bedsideupdate::describedUpdate(*update_) + QLatin1Char('.') : refusal_;
    if (!bedsideupdate::confirm(
            platform_, this, kApplicationTitle,
            QStringLiteral("Clear the unit's update?\n\n") + shown +
                QStringLiteral("\n\nThe calculator then shows the published figures only."),
            QStringLiteral("C&lear the update")))
        return;
    QFile file(updatePath());
    if (file.exists() && !file.remove()) {
        platform_.showError(this, QStringLiteral("The update could not be cleared: ") +
                                      file.errorString() + QLatin1Char('.'));
        return;
    }
    load();
    Q_EMIT updateChanged();
}

} // namespace caldrin
