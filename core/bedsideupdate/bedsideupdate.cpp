// SPDX-License-Identifier: GPL-3.0-or-later
#include "bedsideupdate/bedsideupdate.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>

namespace caldrin::bedsideupdate {

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

const QString kNothingChanged = QStringLiteral("Nothing was changed.");

} // namespace

QString updatePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/caldrin/model-update.json");
}

QString equationWithEstimates(const modelupdate::ModelUpdate& update) {
    const auto& c = update.coefficients;
    const auto number = [](double value) { return QString::number(value, 'g', 4); };
    switch (update.method) {
    case modelupdate::Method::Original:
        return QStringLiteral("logit p' = L (the published equation unchanged)");
    case modelupdate::Method::RecalibrationInTheLarge:
        return QStringLiteral("logit p' = %1 + L").arg(number(c.at(0)));
    case modelupdate::Method::LogisticRecalibration:
        return QStringLiteral("logit p' = %1 + %2 L").arg(number(c.at(0)), number(c.at(1)));
    case modelupdate::Method::Revision:
        return c.size() > 2
                   ? QStringLiteral("logit p' = %1 + %2 PS + %3 OS")
                         .arg(number(c[0]), number(c[1]), number(c[2]))
                   : QStringLiteral("logit p' = %1 + %2 PS").arg(number(c[0]), number(c[1]));
    }
    return {};
}

QString describedUpdate(const modelupdate::ModelUpdate& update) {
    return text(modelupdate::updateTitle(update)) + QStringLiteral(", by ") +
           text(modelupdate::methodTitle(update.method)) + QStringLiteral(": ") +
           equationWithEstimates(update);
}

InPlace readInPlace() {
    InPlace inPlace;
    const QString path = updatePath();
    if (!QFileInfo::exists(path))
        return inPlace;
    modelupdate::ReadUpdate read =
        modelupdate::readUpdateFile(QFile::encodeName(path).toStdString());
    if (read.update)
        inPlace.update = std::move(read.update);
    else
        inPlace.refusal = QStringLiteral("The unit's update is not used. ") + text(read.refusal);
    return inPlace;
}

ReadBytes readOnce(const QString& path) {
    ReadBytes result;
    QFile source(path);
    if (QFileInfo(path).isFile() && source.open(QIODevice::ReadOnly))
        result.bytes = source.read(qint64(modelupdate::kLargestFile) + 1);
    if (!source.isOpen())
        result.read.refusal = "The file cannot be read.";
    else if (std::uintmax_t(result.bytes.size()) > modelupdate::kLargestFile)
        result.read.refusal = "The file is larger than an update can be.";
    else
        return checked(std::move(result.bytes));
    return result;
}

ReadBytes checked(QByteArray bytes) {
    ReadBytes result;
    result.bytes = std::move(bytes);
    result.read = modelupdate::readUpdate(
        std::string_view(result.bytes.constData(), std::size_t(result.bytes.size())));
    return result;
}

bool confirm(Platform& platform, QWidget* parent, const QString& title, const QString& question,
             const QString& yesText) {
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("UnitUpdateConfirmation"));
    QPushButton* yes = box.addButton(yesText, QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    platform.runModal(box);
    return box.clickedButton() == yes;
}

bool useAtBedside(Platform& platform, QWidget* parent, const QString& title,
                  const ReadBytes& chosen) {
    if (!chosen.read.update) {
        platform.showError(parent,
                           QStringLiteral("This file cannot be used as the unit's update. ") +
                               text(chosen.read.refusal) + QLatin1Char('\n') + kNothingChanged);
        return false;
    }
    // What is in place when asked, whoever put it there.
    const InPlace now = readInPlace();
    const QString replaces =
        now.update
            ? QStringLiteral("It replaces: ") + describedUpdate(*now.update) + QLatin1Char('.')
        : !now.refusal.isEmpty()
            ? QStringLiteral("It replaces the update file now in place, which is not used (") +
                  now.refusal + QStringLiteral(").")
            : QStringLiteral("No update is set now.");
    const QString question = QStringLiteral("Use this update for the unit's figure?\n\n") +
                             describedUpdate(*chosen.read.update) + QStringLiteral(".\n\n") +
                             replaces;
    if (!confirm(platform, parent, title, question, QStringLiteral("&Use this update")))
        return false;
    const QString path = updatePath();
    QSaveFile target(path);
    const bool written = QDir().mkpath(QFileInfo(path).absolutePath()) &&
                         target.open(QIODevice::WriteOnly) &&
                         target.write(chosen.bytes) == chosen.bytes.size() && target.commit();
    if (!written) {
        platform.showError(parent, QStringLiteral("The update could not be copied to ") + path +
                                       QStringLiteral(". ") + kNothingChanged);
        return false;
    }
    return true;
}

} // namespace caldrin::bedsideupdate
