// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/sourceline.h"

#include "auditformat/cp1252.h"

#include <QFile>

#include <cstring>

namespace caldrin::auditwindow {

std::optional<QString> readSourceLine(const QString& path, std::uint64_t line) {
    QFile file(path);
    if (line == 0 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Count line breaks block by block: the file may be far larger than memory wants.
    constexpr qint64 kBlock = 1 << 20;
    QByteArray block(kBlock, Qt::Uninitialized);
    std::uint64_t current = 1;
    QByteArray text;
    bool found = false;
    bool complete = false;
    qint64 got = 0;
    while (!complete && (got = file.read(block.data(), kBlock)) > 0) {
        const char* p = block.constData();
        const char* end = p + got;
        while (p < end) {
            const char* newline =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* stop = newline ? newline : end;
            if (current == line) {
                found = true;
                text.append(p, stop - p);
                complete = newline != nullptr;
            }
            if (!newline || complete)
                break;
            ++current;
            p = newline + 1;
        }
    }
    if (!found)
        return std::nullopt;
    if (text.endsWith('\r'))
        text.chop(1);
    const std::string utf8 =
        utf8FromCp1252(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    QString shown = QString::fromUtf8(utf8);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return shown;
}

} // namespace caldrin::auditwindow
