// SPDX-License-Identifier: GPL-3.0-or-later
// caldrin-audit: reads audit data files and prints observed against expected
// outcomes for the five models.

#include "audit/auditanalysis.h"
#include "audit/auditreport.h"
#include "audit/followup.h"
#include "audit/modelupdatefit.h"
#include "audit/options.h"
#include "audit/outputfile.h"
#include "audit/text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

#ifndef CALDRIN_VERSION
#define CALDRIN_VERSION "unknown"
#endif

namespace {

using namespace caldrin::audit;

constexpr int kDone = 0;
constexpr int kBadUsage = 1;
constexpr int kCannotOpen = 2;
constexpr int kNoUpdate = 3;

constexpr std::string_view kUsage =
    "Usage: caldrin-audit [OPTION]... FILE...\n"
    "Reads audit data files written by the calculator and measures observed against\n"
    "expected outcomes for POSSUM morbidity and seven mortality models: overall,\n"
    "in risk bands, discrimination, calibration, over time (VLAD, CUSUM) and by\n"
    "unit (each input file) on a funnel plot.\n"
    "Five risks are read from the file (V_MORT and VP_MORT hold RAAA-POSSUM, the\n"
    "ruptured-aneurysm equations); V-POSSUM (2001) and P-POSSUM (1998) are computed\n"
    "from PHYS_TOTAL and OP_TOTAL.\n"
    "\n"
    "  --format text|csv|json  output for people (default), spreadsheets or programs\n"
    "  --model MODEL           model of the risk-band table (default p-possum):\n"
    "                          possum-morbidity, possum, p-possum, raaa-possum,\n"
    "                          raaa-possum-physiological, v-possum-2001,\n"
    "                          v-possum-2001-physiological, p-possum-1998\n"
    "                          (v-possum and v-possum-physiological, the old\n"
    "                          names, choose the RAAA-POSSUM ones)\n"
    "  --from DATE, --to DATE  only procedures from/to this date (inclusive);\n"
    "                          YYYY-MM-DD or in the --date-order\n"
    "  --date-order dmy|mdy|ymd  how dates of procedure are typed (default dmy)\n"
    "  --odds-ratio R          odds ratio the CUSUM looks for (default 2)\n"
    "  --limit H               CUSUM control limit (default: computed)\n"
    "  --arl N                 in-control average run length the computed limit\n"
    "                          gives (default 10000 episodes)\n"
    "  --today DATE            the day follow-up is measured on (default: the\n"
    "                          system's date), YYYY-MM-DD or in the --date-order\n"
    "  --due-days N            days after the procedure by which its outcome is\n"
    "                          due (default 30); the summary says how complete\n"
    "                          the outcomes due are, and warns below 95%\n"
    "  --outstanding           list the episodes whose outcome is not yet known\n"
    "                          (due first) instead of the analysis\n"
    "  --unit file             what a unit on the funnel plot is: each input file\n"
    "                          (the default, and for now the only grouping)\n"
    "  --output FILE           write the report to FILE instead of standard output\n"
    "  --update MODEL          fit an update of MODEL on its episodes (within --from\n"
    "                          and --to) and write it to the --output FILE (JSON):\n"
    "                          the original model, recalibration-in-the-large,\n"
    "                          logistic recalibration and, for v-possum-2001 and\n"
    "                          p-possum-1998, revision, chosen by the closed\n"
    "                          testing procedure (Vergouwe 2017); fewer than 100\n"
    "                          events or non-events allow only recalibration-in-\n"
    "                          the-large, fewer than 20 no update\n"
    "  --unit-name TEXT        the unit's name the update carries\n"
    "  --update-file FILE      also measure this update (repeatable) as one more\n"
    "                          model on the episodes after its fit period only\n"
    "                          (those within it are counted as used to fit)\n"
    "  --help                  show this help and exit\n"
    "  --version               show the version and exit\n"
    "\n"
    "Figures, per model (see the manual page and the help for how to read them):\n"
    "  O:E             observed / expected events, exact Poisson 95% interval\n"
    "  AUROC           discrimination, DeLong's 95% interval; models of one outcome\n"
    "                  compared in pairs by the paired DeLong test (DeLong 1988)\n"
    "  CITL            calibration-in-the-large: 0 when as many events occur as\n"
    "                  predicted, above 0 when more (logit scale; Van Calster 2016)\n"
    "  recalibration intercept and slope: logit P = a + b logit p; slope 1 when the\n"
    "                  spread of the risks is right, below 1 when too extreme\n"
    "  ICI, E50, E90, Emax  distance between the flexible calibration curve (a\n"
    "                  spline of logit p) and the diagonal: mean, median, 90th\n"
    "                  percentile, largest (Austin and Steyerberg 2019)\n"
    "  HL p            Hosmer-Lemeshow test, a legacy test whose verdict depends on n\n"
    "  few events      under 100 episodes with, or without, the outcome: every\n"
    "                  figure is imprecise (Van Calster 2019)\n"
    "  CUSUM           signals more events than predicted (odds ratio R); the\n"
    "                  improvement CUSUM, fewer (odds ratio 1/R), with its own limit\n"
    "  funnel          each unit's O:E against exact Poisson 95% and 99.8% limits;\n"
    "                  with 10 units or more, overdispersion phi widens them when\n"
    "                  above 1 (Spiegelhalter 2005)\n"
    "\n"
    "Exit status: 0 done, 1 bad usage, 2 a file could not be read or written, or\n"
    "memory ran out, 3 (--update) too few events or no fit: no update written.\n";

struct CommandLine {
    std::vector<std::string> files;
    ReportFormat format = ReportFormat::Text;
    std::string output;
    bool help = false;
    bool version = false;
    bool outstanding = false;
    std::optional<Model> updateModel;
    std::string unitName;
    std::vector<std::string> updateFiles;
};

// The error text, or empty when the command line is good. The analysis
// options go to `analysis`, which the window's command line shares.
std::string parse(int argc, char** argv, CommandLine& line, AuditOptionReader& analysis) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.files.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const auto equals = arg.find('='); equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name == "--help" || name == "-h") {
            line.help = true;
            continue;
        }
        if (name == "--version") {
            line.version = true;
            continue;
        }
        if (name == "--outstanding" && !value) {
            line.outstanding = true;
            continue;
        }
        if (name != "--format" && name != "--output" && name != "--unit" && name != "--update" &&
            name != "--unit-name" && name != "--update-file" && !AuditOptionReader::takes(name))
            return "unknown option " + std::string(arg);
        if (!value) {
            if (i + 1 >= argc)
                return std::string(name) + " needs a value";
            value = argv[++i];
        }
        const std::string_view v = *value;
        if (name == "--format") {
            if (v == "text")
                line.format = ReportFormat::Text;
            else if (v == "csv")
                line.format = ReportFormat::Csv;
            else if (v == "json")
                line.format = ReportFormat::Json;
            else
                return "--format takes text, csv or json, not " + std::string(v);
        } else if (name == "--unit") {
            // Room for other groupings (surgeon, hospital) once the file holds them.
            if (v != "file")
                return "--unit takes file (each input file is a unit), not " + std::string(v);
        } else if (name == "--update") {
            const auto model = modelFromName(v);
            if (!model)
                return "--update takes a model name (see --model), not " + std::string(v);
            line.updateModel = model->model;
        } else if (name == "--update-file") {
            if (v.empty())
                return "--update-file needs a file name";
            line.updateFiles.emplace_back(v);
        } else if (name == "--unit-name") {
            const bool oneLine = std::none_of(v.begin(), v.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
            });
            if (!oneLine || v.size() > 200 || wellFormedUtf8(v) != v)
                return "--unit-name takes one line of UTF-8 text of at most 200 bytes";
            line.unitName = v;
        } else if (name == "--output") {
            if (v.empty())
                return "--output needs a file name";
            line.output = v;
        } else if (std::string error = analysis.set(name, v); !error.empty()) {
            return error;
        }
    }
    if (!line.help && !line.version && line.files.empty())
        return "no audit data file given";
    if (line.updateModel && line.output.empty())
        return "--update needs --output FILE for the update";
    if (line.updateModel && line.format != ReportFormat::Text)
        return "--update writes the update as JSON to --output and prints its fit as text; "
               "--format does not apply";
    if (line.updateModel && line.outstanding)
        return "--update and --outstanding cannot be given together";
    if (!line.updateFiles.empty() && (line.updateModel || line.outstanding))
        return "--update-file cannot be given with --update or --outstanding";
    return analysis.finish();
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// "2026-12-11T08:57:00Z"
std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

int localYear() {
    return localNow().tm_year + 1900;
}

Date localToday() {
    const std::tm local = localNow();
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// Progress on standard error once the run has taken a moment: one line
// redrawn on a terminal; elsewhere (a log, a pipe) a line now and then, so
// that long work never looks hung.
class ProgressLine {
public:
    ProgressLine()
        : terminal_(::isatty(STDERR_FILENO) == 1)
        , start_(std::chrono::steady_clock::now()) {}

    ~ProgressLine() { clear(); }

    void setSubject(std::string subject) { subject_ = std::move(subject); }

    bool operator()(std::string_view stage, std::uint64_t done, std::uint64_t total) {
        const auto now = std::chrono::steady_clock::now();
        const auto quiet = terminal_ ? std::chrono::milliseconds(500) : std::chrono::seconds(5);
        const auto every = terminal_ ? std::chrono::milliseconds(100) : std::chrono::seconds(10);
        if (now - start_ < quiet || now - last_ < every)
            return true;
        last_ = now;
        std::string text = std::string(stage);
        if (!subject_.empty() && stage == "Reading")
            text += " " + subject_;
        if (total > 0)
            text += ": " + std::to_string(done * 100 / total) + "%";
        if (!terminal_) {
            std::fprintf(stderr, "caldrin-audit: %s\n", text.c_str());
            return true;
        }
        std::fprintf(stderr, "\r%-70.70s", text.c_str());
        shown_ = true;
        return true;
    }

    void clear() {
        if (shown_)
            std::fprintf(stderr, "\r%70s\r", "");
        shown_ = false;
    }

private:
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_{};
    std::string subject_;
};

bool writeAll(std::FILE* stream, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
           std::fflush(stream) == 0;
}

// Fits the update, says how on standard output, and writes the chosen one
// to the output file whole.
int writeUpdate(const AuditData& data, const CommandLine& line, const AnalysisOptions& options) {
    const UpdateFit fit = fitUpdate(data, *line.updateModel, options.from, options.to);
    const std::string summary = updateFitText(fit);
    std::fwrite(summary.data(), 1, summary.size(), stdout);
    UpdateProvenance provenance;
    provenance.unit = line.unitName;
    provenance.created = utcNow();
    provenance.programVersion = CALDRIN_VERSION;
    for (const FileSummary& file : data.files())
        if (file.opened && !file.sameFileAs)
            provenance.inputFiles.push_back(
                {wellFormedUtf8(file.path, true), file.bytes, file.records});
    const auto update = chosenUpdate(fit, provenance);
    if (!update) {
        std::fprintf(stderr, "caldrin-audit: no update written to %s\n", line.output.c_str());
        return kNoUpdate;
    }
    const caldrin::modelupdate::WrittenUpdate document =
        caldrin::modelupdate::updateDocument(*update);
    if (!document.problem.empty()) {
        std::fprintf(stderr, "caldrin-audit: the update cannot be written: %s\n",
                     document.problem.c_str());
        return kNoUpdate;
    }
    if (const std::string problem = writeWholeFile(line.output, document.text); !problem.empty()) {
        std::fprintf(stderr, "caldrin-audit: cannot write %s: %s\n", line.output.c_str(),
                     problem.c_str());
        return kCannotOpen;
    }
    std::printf("Update written to %s\n", line.output.c_str());
    return kDone;
}

int run(int argc, char** argv) {
    CommandLine line;
    AuditOptionReader optionReader(localYear());
    if (const std::string error = parse(argc, argv, line, optionReader); !error.empty()) {
        std::fprintf(stderr, "caldrin-audit: %s\nTry 'caldrin-audit --help'.\n", error.c_str());
        return kBadUsage;
    }
    const AuditOptions& chosen = optionReader.options();
    for (const std::string& note : chosen.notes)
        std::fprintf(stderr, "caldrin-audit: %s\n", note.c_str());
    if (line.help) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return kDone;
    }
    if (line.version) {
        std::printf("caldrin-audit %s\n", CALDRIN_VERSION);
        return kDone;
    }
    AnalysisOptions options = chosen.analysis;
    if (!options.today)
        options.today = localToday();
    ReadOptions readOptions = chosen.read;
    readOptions.keepLeadingFields = line.outstanding;

    std::vector<std::string> inputs = line.files;
    inputs.insert(inputs.end(), line.updateFiles.begin(), line.updateFiles.end());
    if (!line.output.empty() && namesAnInput(line.output, inputs)) {
        std::fprintf(stderr,
                     "caldrin-audit: --output %s is one of the audit data files read; the report "
                     "would replace it\n",
                     line.output.c_str());
        return kCannotOpen;
    }

    int status = kDone;
    ProgressLine progressLine;
    const Progress progress = [&](std::string_view stage, std::uint64_t done, std::uint64_t total) {
        return progressLine(stage, done, total);
    };
    AuditReader reader(readOptions);
    std::uint64_t bytes = 0;
    for (const std::string& file : line.files) {
        std::error_code unknownSize; // a pipe, or no file: nothing to add
        const std::uintmax_t size = std::filesystem::file_size(file, unknownSize);
        if (!unknownSize)
            bytes += size;
    }
    reader.expectBytes(bytes);
    for (const std::string& file : line.files) {
        progressLine.setSubject(file);
        if (!reader.addFile(file, progress)) {
            progressLine.clear();
            std::fprintf(stderr, "caldrin-audit: cannot read %s: %s\n", file.c_str(),
                         reader.files().back().openError.c_str());
            status = kCannotOpen;
        } else if (const auto same = reader.files().back().sameFileAs) {
            std::fprintf(stderr, "caldrin-audit: %s is the same file as %s, which is read once\n",
                         file.c_str(), reader.files()[*same].path.c_str());
        } else if (const FileKind kind = reader.files().back().kind; kind != FileKind::AuditData) {
            progressLine.clear();
            std::fprintf(stderr, "caldrin-audit: %s: %s\n", file.c_str(),
                         fileKindText(kind).c_str());
        }
    }
    const AuditData data = reader.finish(progress);
    if (line.updateModel) {
        progressLine.clear();
        const int updated = writeUpdate(data, line, options);
        return updated == kDone ? status : updated;
    }
    std::string report;
    if (line.outstanding) {
        const FollowUpOptions followUp{*options.today, options.dueDays, options.from, options.to};
        report =
            formatOutstanding(data, outstandingEpisodes(data, followUp), followUp, line.format);
        progressLine.clear();
    } else {
        const AnalysisResult result = analyse(data, options, progress);
        progressLine.clear();
        ReportOptions reportOptions;
        reportOptions.bandModel = chosen.bandModel;
        for (const std::string& path : line.updateFiles) {
            UpdateValidation check =
                validateUpdate(data, path, caldrin::modelupdate::readUpdateFile(path), options);
            if (!check.update) {
                std::fprintf(stderr, "caldrin-audit: %s: %s\n", path.c_str(),
                             check.refusal.c_str());
                status = kCannotOpen;
            }
            reportOptions.updates.push_back(std::move(check));
        }
        report = formatReport(data, result, options, line.format, reportOptions);
    }
    if (line.format == ReportFormat::Csv && data.problemCount() > 0)
        std::fprintf(stderr,
                     "caldrin-audit: %llu lines had reading problems; --format text or json "
                     "lists them\n",
                     static_cast<unsigned long long>(data.problemCount()));

    if (line.output.empty()) {
        if (!writeAll(stdout, report)) {
            std::fprintf(stderr, "caldrin-audit: cannot write the report: %s\n",
                         std::strerror(errno));
            return kCannotOpen;
        }
        return status;
    }
    if (const std::string problem = writeWholeFile(line.output, report); !problem.empty()) {
        std::fprintf(stderr, "caldrin-audit: cannot write %s: %s\n", line.output.c_str(),
                     problem.c_str());
        return kCannotOpen;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("caldrin-audit: there is not enough memory to read and analyse these files\n",
                   stderr);
        return kCannotOpen;
    }
}
