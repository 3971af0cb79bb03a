// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/textedge.h"

#include "auditformat/cp1252.h"

namespace caldrin {

namespace {
std::u16string_view utf16Of(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

bool isFormulaStart(QChar c) {
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') ||
           c == QLatin1Char('@');
}
} // namespace

std::string toCp1252Bytes(const QString& text) {
    return toCp1252(utf16Of(text)).value_or(std::string());
}

bool isCp1252Text(const QString& text) {
    return toCp1252(utf16Of(text)).has_value();
}

QString fromCp1252Bytes(const std::string& bytes) {
    const std::u16string chars = fromCp1252(bytes);
    return QString::fromUtf16(chars.data(), qsizetype(chars.size()));
}

Cp1252Validator::Cp1252Validator(QObject* parent, bool refuseFormulaStart)
    : QValidator(parent)
    , refuseFormulaStart_(refuseFormulaStart) {}

QValidator::State Cp1252Validator::validate(QString& input, int&) const {
    const auto refuse = [this](TextRefusal refusal, QChar c) {
        Q_EMIT refused(refusal, c);
        return Invalid;
    };
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (isControl(c))
            return refuse(TextRefusal::ControlCharacter, c);
        if (!isCp1252Representable(c.unicode()))
            return refuse(TextRefusal::NotInCp1252, c);
    }
    if (refuseFormulaStart_ && !input.isEmpty() && isFormulaStart(input.front()))
        return refuse(TextRefusal::FormulaStart, input.front());
    return Acceptable;
}

QString refusalNote(TextRefusal refusal, QChar character) {
    switch (refusal) {
    case TextRefusal::None:
        break;
    case TextRefusal::ControlCharacter:
        return QStringLiteral("Line breaks and control characters are not accepted.");
    case TextRefusal::NotInCp1252:
        if (character.isSurrogate())
            return QStringLiteral("That character cannot be stored in the files.");
        return QStringLiteral("\u201C%1\u201D cannot be stored in the files.").arg(character);
    case TextRefusal::FormulaStart:
        return QStringLiteral("A field may not start with %1 (spreadsheets would run it).")
            .arg(character);
    }
    return {};
}

} // namespace caldrin
