#pragma once

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

// Lets into an edit only characters that Windows-1252 can hold, so that what
// the user sees is exactly what is hashed and written.
class Cp1252Validator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace caldrin
