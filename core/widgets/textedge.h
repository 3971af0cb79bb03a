// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QValidator>

#include <string>

namespace caldrin {

// The edge between the widgets and the window-free code: a widget's text
// becomes Windows-1252 bytes here and nowhere else.

// The bytes of `text`. Callers only pass texts that Cp1252Validator let in, or
// check first with isCp1252Text.
std::string toCp1252Bytes(const QString& text);
bool isCp1252Text(const QString& text);
QString fromCp1252Bytes(const std::string& bytes);

// Why an edit refused what was typed, pasted or dropped into it.
enum class TextRefusal {
    None,
    ControlCharacter, // a line break, tab or other C0 control, or DEL
    NotInCp1252,      // a character the files cannot hold
    FormulaStart,     // a leading = + - @, which spreadsheets run as a formula
};

// Lets into a single-line edit only characters that Windows-1252 can hold, and
// no control characters, so that what the user sees is exactly what is hashed
// and written, on one line. With `refuseFormulaStart`, also refuses a text
// that would start with = + - or @. Text the program sets itself is not
// checked, so stored data stays as it is.
class Cp1252Validator : public QValidator {
    Q_OBJECT
public:
    explicit Cp1252Validator(QObject* parent = nullptr, bool refuseFormulaStart = false);
    State validate(QString& input, int& pos) const override;

Q_SIGNALS:
    // Each refusal, whichever way the text came: the edit itself tells of
    // some (typing, pasting) but not of others (dropping).
    void refused(caldrin::TextRefusal refusal, QChar character) const;

private:
    bool refuseFormulaStart_;
};

// A short note for the user on a refusal.
QString refusalNote(TextRefusal refusal, QChar character);

} // namespace caldrin
