// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditexporter.h"

#include "audit/outputfile.h"
#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditloader.h"
#include "auditwindow/auditreportpages.h"
#include "auditwindow/auditwindow.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/funnelchart.h"
#include "auditwindow/modelnames.h"
#include "auditwindow/settingsname.h"
#include "platform/platform.h"
#include "platform/programsettings.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QString isoDate(const Date& date) {
    return QDate(date.year, date.month, date.day).toString(Qt::ISODate);
}

// "audit-report" or "audit-report-2024-07-01-to-2024-09-30": the report's
// file name, the same whether exported or printed to a file.
QString reportName(const AuditLoad& load) {
    if (!load.options.from || !load.options.to)
        return QStringLiteral("audit-report");
    return QStringLiteral("audit-report-%1-to-%2")
        .arg(isoDate(*load.options.from), isoDate(*load.options.to));
}

} // namespace

QString auditFolder() {
    const QString folder = ProgramSettings::lastFolder(kAuditSettingsName);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

void rememberAuditFolderOf(const QString& path) {
    ProgramSettings::rememberFolderOf(kAuditSettingsName, path);
}

AuditExporter::AuditExporter(Platform& platform, AuditDialogs& dialogs, QWidget& window)
    : platform_(platform)
    , dialogs_(dialogs)
    , window_(window) {}

bool AuditExporter::refuseInputFile(const AuditLoad& load, const QString& path) {
    std::vector<std::string> inputs;
    for (const audit::FileSummary& file : load.data->files())
        inputs.push_back(file.path);
    if (!audit::namesAnInput(QFile::encodeName(path).toStdString(), inputs))
        return false;
    platform_.showError(&window_,
                        QStringLiteral("%1 is one of the audit data files open; it was not "
                                       "replaced. Choose another name.")
                            .arg(path));
    return true;
}

bool AuditExporter::writeFile(const AuditLoad& load, const QString& path, const QByteArray& bytes) {
    if (refuseInputFile(load, path))
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    platform_.showError(
        &window_, QStringLiteral("%1 could not be written: %2.").arg(path, file.errorString()));
    return false;
}

std::optional<QString> AuditExporter::exportReport(const AuditLoad& load, const QString& dateRange,
                                                   const NumberFormat& format) {
    const auto path = dialogs_.chooseFileToSave(
        &window_, QStringLiteral("Export Report as PDF"),
        QDir(auditFolder()).filePath(reportName(load) + QStringLiteral(".pdf")),
        QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf"));
    if (!path)
        return std::nullopt;
    rememberAuditFolderOf(*path);
    if (refuseInputFile(load, *path))
        return std::nullopt;
    QSaveFile file(*path);
    bool written = false;
    if (file.open(QIODevice::WriteOnly)) {
        {
            QPdfWriter writer(&file);
            writer.setTitle(QStringLiteral("Audit report"));
            writer.setCreator(kAuditWindowTitle);
            writer.setResolution(300);
            written = paintAuditReport(writer, {*load.data, load.result, dateRange,
                                                platform_.today(), format, load.updates}) > 0;
        }
        written = written && file.commit();
    }
    if (!written) {
        platform_.showError(
            &window_,
            QStringLiteral("%1 could not be written: %2.").arg(*path, file.errorString()));
        return std::nullopt;
    }
    return QStringLiteral("Report saved as %1.").arg(*path);
}

void AuditExporter::printReport(const AuditLoad& load, const QString& dateRange,
                                const NumberFormat& format) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(reportName(load)); // the print dialog's file name
    if (!platform_.choosePrinter(&window_, printer))
        return;
    if (paintAuditReport(printer, {*load.data, load.result, dateRange, platform_.today(), format,
                                   load.updates}) == 0)
        platform_.showError(&window_, QStringLiteral("The report could not be printed."));
}

std::optional<QString> AuditExporter::exportChart(const AuditLoad& load, const ModelResult& model,
                                                  ChartKind kind, bool svg,
                                                  const NumberFormat& format,
                                                  const QString& dateRange, TimeAxis timeAxis) {
    // Exported charts go on paper and slides: always the light theme.
    return exportPicture(
        load, makeChart(model, kind, QChart::ChartThemeLight, format, dateRange, timeAxis),
        chartKey(kind) + QLatin1Char('-') + modelFileKey(model.model), svg,
        chartTitle(kind) + QStringLiteral(", ") + modelName(model.model) + QStringLiteral(", ") +
            dateRange,
        chartFigures(model, kind, format));
}

std::optional<QString> AuditExporter::exportFunnel(const AuditLoad& load, const ModelResult& model,
                                                   bool svg, const NumberFormat& format,
                                                   const QString& dateRange) {
    const auto modelIndex = static_cast<std::size_t>(&model - load.result.models.data());
    return exportPicture(
        load, makeFunnelChart(load.result, modelIndex, QChart::ChartThemeLight, format, dateRange),
        QStringLiteral("funnel-") + modelFileKey(model.model), svg,
        QStringLiteral("Funnel plot, ") + modelName(model.model) + QStringLiteral(", ") + dateRange,
        funnelFigures(load.result, modelIndex, format));
}

std::optional<QString> AuditExporter::exportPicture(const AuditLoad& load,
                                                    std::unique_ptr<QChart> chart,
                                                    const QString& baseName, bool svg,
                                                    const QString& title,
                                                    const QString& description) {
    const QString name = baseName + (svg ? QStringLiteral(".svg") : QStringLiteral(".png"));
    const auto path = dialogs_.chooseFileToSave(
        &window_,
        svg ? QStringLiteral("Export Chart as SVG") : QStringLiteral("Export Chart as PNG"),
        QDir(auditFolder()).filePath(name),
        svg ? QStringLiteral("SVG images (*.svg)") : QStringLiteral("PNG images (*.png)"),
        svg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (!path)
        return std::nullopt;
    rememberAuditFolderOf(*path);
    const QSizeF layoutSize(1000, 640);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(layoutSize.toSize());
        generator.setViewBox(QRectF(QPointF(0, 0), layoutSize));
        generator.setTitle(title);
        generator.setDescription(description);
        QPainter painter(&generator);
        paintChart(*chart, painter, QRectF(QPointF(0, 0), layoutSize), layoutSize);
    } else {
        QImage image((layoutSize * 2).toSize(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paintChart(*chart, painter, QRectF(QPointF(0, 0), layoutSize * 2), layoutSize);
        }
        image.save(&buffer, "PNG");
    }
    if (!writeFile(load, *path, bytes))
        return std::nullopt;
    return QStringLiteral("Chart saved as %1.").arg(*path);
}

std::optional<QString> AuditExporter::saveBytes(const AuditLoad& load, const QByteArray& bytes,
                                                const QString& title, const QString& suggestedName,
                                                const QString& filter, const QString& suffix) {
    const auto path = dialogs_.chooseFileToSave(
        &window_, title, QDir(auditFolder()).filePath(suggestedName), filter, suffix);
    if (!path)
        return std::nullopt;
    rememberAuditFolderOf(*path);
    if (!writeFile(load, *path, bytes))
        return std::nullopt;
    return path;
}

std::optional<QString> AuditExporter::exportCsv(const AuditLoad& load, const QByteArray& bytes,
                                                const QString& name) {
    const auto path =
        saveBytes(load, bytes, QStringLiteral("Export Table as CSV"), name + QStringLiteral(".csv"),
                  QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv"));
    if (!path)
        return std::nullopt;
    return QStringLiteral("Table saved as %1.").arg(*path);
}

std::optional<QString> AuditExporter::exportTable(const AuditLoad& load, FigureTable table,
                                                  const QString& name, const QString& dateRange) {
    return exportCsv(load, csvText(table, dateRange), name);
}

} // namespace caldrin::auditwindow
