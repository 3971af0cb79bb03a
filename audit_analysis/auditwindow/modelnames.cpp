// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/modelnames.h"

namespace caldrin::audit {

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString modelName(Model model) {
    return fromView(modelEntry(model).title);
}

QString modelFileKey(Model model) {
    return fromView(modelEntry(model).key);
}

} // namespace caldrin::audit
