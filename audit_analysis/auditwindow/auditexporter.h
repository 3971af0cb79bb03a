// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditwindow/auditcharts.h"
#include "auditwindow/figures.h"

#include <QString>

#include <memory>
#include <optional>

class QByteArray;
class QWidget;

namespace caldrin {
class Platform;
}

namespace caldrin::auditwindow {

class AuditDialogs;
class FigureTableModel;
struct AuditLoad;

// The folder the audit window's file dialogs start in: the one used last,
// else the home folder.
QString auditFolder();
void rememberAuditFolderOf(const QString& path);

// What the audit window exports: the PDF report, the printed report, a chart
// as PNG or SVG, a table as CSV. Nothing is ever written over one of the
// audit data files read, and a file is replaced whole or not at all. Each
// export gives the words for the status line once it is done, or nothing
// when the user cancelled or an error was shown.
class AuditExporter {
public:
    AuditExporter(Platform& platform, AuditDialogs& dialogs, QWidget& window);

    std::optional<QString> exportReport(const AuditLoad& load, const QString& dateRange,
                                        const NumberFormat& format);
    void printReport(const AuditLoad& load, const QString& dateRange, const NumberFormat& format);
    // The chart's title and the file's own say `dateRange`; charts over time
    // run along `timeAxis`, as on screen.
    std::optional<QString> exportChart(const AuditLoad& load, const audit::ModelResult& model,
                                       ChartKind kind, bool svg, const NumberFormat& format,
                                       const QString& dateRange, TimeAxis timeAxis);
    // The funnel plot of `model`, one of the load's results.
    std::optional<QString> exportFunnel(const AuditLoad& load, const audit::ModelResult& model,
                                        bool svg, const NumberFormat& format,
                                        const QString& dateRange);
    // Every row of the CSV says `dateRange`. The rows are copied in, so the
    // page may show other figures while the file dialog is open.
    std::optional<QString> exportTable(const AuditLoad& load, FigureTable table,
                                       const QString& name, const QString& dateRange);

    // Bytes made elsewhere (the list of outcomes to chase) as `name`.csv.
    std::optional<QString> exportCsv(const AuditLoad& load, const QByteArray& bytes,
                                     const QString& name);

    // Asks where (titled `title`, offering `suggestedName` in the audit
    // folder), then writes `bytes` there whole; the path written, or nothing.
    std::optional<QString> saveBytes(const AuditLoad& load, const QByteArray& bytes,
                                     const QString& title, const QString& suggestedName,
                                     const QString& filter, const QString& suffix);

private:
    // Asks where, then writes `chart` as a PNG picture or an SVG drawing
    // whose title and description (the figures in words) travel with it.
    std::optional<QString> exportPicture(const AuditLoad& load, std::unique_ptr<QChart> chart,
                                         const QString& baseName, bool svg, const QString& title,
                                         const QString& description);
    bool refuseInputFile(const AuditLoad& load, const QString& path);
    bool writeFile(const AuditLoad& load, const QString& path, const QByteArray& bytes);

    Platform& platform_;
    AuditDialogs& dialogs_;
    QWidget& window_;
};

} // namespace caldrin::auditwindow
