// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The unit's update the calculator shows at the bedside: one file,
// "model-update.json" in the user's XDG configuration folder beside the
// calculator's settings. The calculator reads it and can open or clear one;
// the audit window copies a fitted or chosen update there. Both set it here,
// so both check the same bytes they copy and confirm in the same words what
// the new update replaces. Every box goes through the Platform.

#include "modelupdate/modelupdate.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QWidget;

namespace caldrin {

class Platform;

namespace bedsideupdate {

// Where the calculator keeps the update it shows.
QString updatePath();

// The update's equation with its estimates: "logit p' = 0.3 + 0.8 L".
QString equationWithEstimates(const modelupdate::ModelUpdate& update);
// Its title, method and equation in one line, as the confirmations name it.
QString describedUpdate(const modelupdate::ModelUpdate& update);

// What is in place at the bedside: an update, a file refused with its
// reason ("The unit's update is not used. ..."), or neither.
struct InPlace {
    std::optional<modelupdate::ModelUpdate> update;
    QString refusal;
};
InPlace readInPlace();

// The bytes of a chosen file, read once, and what they hold: what is
// checked is exactly what may be copied.
struct ReadBytes {
    QByteArray bytes;
    modelupdate::ReadUpdate read;
};
ReadBytes readOnce(const QString& path);
// Bytes made in this program, checked as a chosen file's would be.
ReadBytes checked(QByteArray bytes);

// Asks `question` with a button reading `yesText` and Cancel; true for yes.
bool confirm(Platform& platform, QWidget* parent, const QString& title, const QString& question,
             const QString& yesText);

// Asks whether the update read should be used at the bedside, saying what
// it replaces, then writes its bytes whole in place of the update file. A
// refused update is shown with its reason and nothing is copied. True once
// written; false when refused, cancelled or not written (each said).
bool useAtBedside(Platform& platform, QWidget* parent, const QString& title,
                  const ReadBytes& chosen);

} // namespace bedsideupdate
} // namespace caldrin
