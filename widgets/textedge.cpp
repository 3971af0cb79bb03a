#include "widgets/textedge.h"

#include "records_core/cp1252.h"

namespace caldrin {

namespace {
std::u16string_view utf16Of(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
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

QValidator::State Cp1252Validator::validate(QString& input, int&) const {
    return isCp1252Text(input) ? Acceptable : Invalid;
}

} // namespace caldrin
