// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditreport.h"
#include "audit/completeness.h"
#include "audit/text.h"
#include "auditformat/columns.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace caldrin::audit {

namespace {

constexpr std::size_t kSignalsListed = 12;

std::string fixed(double value, int decimals) {
    return fixedText(value, decimals);
}

// JSON has no NaN or infinity.
std::string jsonNumber(double value) {
    return std::isfinite(value) ? shortestText(value) : "null";
}

std::string jsonNumber(const std::optional<double>& value) {
    return value ? jsonNumber(*value) : "null";
}

// Paths come from the command line or a dialog: shown as they are, minus
// anything that could drive a terminal, bytes that are not UTF-8 shown as
// "\xFF".
std::string printable(std::string_view text) {
    std::string out;
    for (const char c : wellFormedUtf8(text, true)) {
        const auto b = static_cast<unsigned char>(c);
        out += (b < 0x20 || b == 0x7F) ? '?' : c;
    }
    return out;
}

std::string dateText(const Date& date) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
}

std::string shortTitle(Model model) {
    std::string title(modelTitle(model));
    const auto space = title.rfind(" mortality");
    if (space != std::string::npos && space + 10 == title.size())
        title.erase(space);
    return title;
}

// The text output fits a terminal of 80 columns: prose is wrapped at spaces,
// each line after the first indented by `hanging` more.
constexpr std::size_t kTextWidth = 80;

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (const char c : utf8)
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

std::string wrapped(std::string_view text, std::size_t indent = 2, std::size_t hanging = 2) {
    std::string out(indent, ' ');
    std::size_t column = indent;
    bool lineStart = true;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (word.empty())
            continue;
        const std::size_t width = displayWidth(word);
        if (!lineStart && column + 1 + width > kTextWidth) {
            out += "\n" + std::string(indent + hanging, ' ');
            column = indent + hanging;
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += width;
        lineStart = false;
    }
    return out + "\n";
}

// A table for the terminal: columns right-aligned except the first.
class Table {
public:
    void row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

    std::string render(std::string_view indent = "  ") const {
        std::vector<std::size_t> width;
        for (const auto& row : rows_)
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (width.size() <= c)
                    width.push_back(0);
                width[c] = std::max(width[c], displayWidth(row[c]));
            }
        std::string out;
        for (const auto& row : rows_) {
            std::string line(indent);
            for (std::size_t c = 0; c < row.size(); ++c) {
                const std::size_t pad = width[c] - displayWidth(row[c]);
                if (c == 0) {
                    line += row[c] + std::string(pad, ' ');
                } else {
                    line += "  " + std::string(pad, ' ') + row[c];
                }
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            out += line + "\n";
        }
        return out;
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

std::string intervalText(const std::optional<Interval>& interval, int decimals) {
    if (!interval)
        return "-";
    return fixed(interval->lower, decimals) + "-" + fixed(interval->upper, decimals);
}

std::string optionalText(const std::optional<double>& value, int decimals) {
    return value ? fixed(*value, decimals) : "-";
}

std::string pValueText(const std::optional<double>& p) {
    if (!p)
        return "-";
    return *p < 0.001 ? "<0.001" : fixed(*p, 3);
}

std::string countText(std::uint64_t value) {
    return std::to_string(value);
}

std::string outcomeWord(Outcome outcome, bool plural) {
    if (outcome == Outcome::Mortality)
        return plural ? "deaths" : "death";
    return plural ? "complications" : "complication";
}

class TextReport {
public:
    TextReport(const AuditData& data, const AnalysisResult& result,
               const AnalysisOptions& analysisOptions, const ReportOptions& options)
        : data_(data)
        , result_(result)
        , analysisOptions_(analysisOptions)
        , options_(options) {}

    std::string render() {
        header();
        if (result_.completeness)
            out_ += completenessText(*result_.completeness);
        for (const Outcome outcome : {Outcome::Mortality, Outcome::Morbidity})
            outcomeTable(outcome);
        bandTable();
        signalList();
        exclusions();
        problems();
        return out_;
    }

private:
    void header() {
        out_ += "Audit analysis\n\n";
        for (const FileSummary& file : data_.files()) {
            std::string line = printable(file.path) + ": ";
            if (file.sameFileAs) {
                line += "the same file as " + printable(data_.files()[*file.sameFileAs].path) +
                        ", which is read once; this repeat was not read";
            } else if (!file.opened) {
                line += "could not be read (" + file.openError + ")";
            } else {
                if (file.kind != FileKind::AuditData)
                    line += fileKindText(file.kind) + "; ";
                line += countText(file.lines) + " lines, " + countText(file.records) + " records";
                if (file.problemCount() > 0)
                    line += ", " + countText(file.problemCount()) + " with problems (listed below)";
                if (file.cancelled)
                    line += ", reading cancelled";
            }
            out_ += wrapped(line, 2, 4);
        }
        out_ += "\n";
        out_ += wrapped(
            "Records read: " + countText(data_.recordsRead()) +
            "; repeated records replaced by a later one: " + countText(data_.mergedRecords()) +
            "; episodes: " + countText(result_.episodes));
        if (data_.unparseableDates() > 0)
            out_ += wrapped("Episodes whose date of procedure cannot be read: " +
                            countText(data_.unparseableDates()) +
                            (analysisOptions_.from || analysisOptions_.to
                                 ? " (left out: a date range is set)"
                                 : " (placed after the dated ones, in file order)"));
        if (analysisOptions_.from || analysisOptions_.to) {
            out_ += wrapped(
                "Dates of procedure from " +
                (analysisOptions_.from ? dateText(*analysisOptions_.from) : "the first") + " to " +
                (analysisOptions_.to ? dateText(*analysisOptions_.to) : "the last") + ": " +
                countText(result_.inDateRange) + " episodes in range, " +
                countText(result_.outsideDateRange) + " outside");
        }
        out_ += "\n";
    }

    void outcomeTable(Outcome outcome) {
        std::vector<const ModelResult*> models;
        for (const ModelResult& m : result_.models)
            if (m.outcome == outcome)
                models.push_back(&m);
        if (models.empty())
            return;
        out_ += outcome == Outcome::Mortality ? "Mortality" : "Morbidity";
        out_ +=
            " (observed " + outcomeWord(outcome, true) + " against the models' predictions)\n\n";
        // Two tables, so that each fits 80 columns; the VLAD and the CUSUM
        // follow under "Over time".
        Table table;
        table.row({"Model", "n", "Obs", "Exp", "O:E", "95% CI"});
        Table fit;
        fit.row({"Model", "AUROC", "95% CI", "CITL", "Slope", "HL p", "Brier"});
        std::vector<std::string> notes;
        for (const ModelResult* m : models) {
            const ObservedExpected& o = m->overall;
            const std::string title = shortTitle(m->model);
            const bool oeMark = o.unreliable && o.ratio;
            const bool rocMark = m->discrimination.unreliable && m->discrimination.auroc;
            const bool hlMark = m->hosmerLemeshow.unreliable && m->hosmerLemeshow.pValue;
            table.row({title, countText(o.n), countText(o.observed), fixed(o.expected, 2),
                       optionalText(o.ratio, 2) + (oeMark ? "?" : ""),
                       intervalText(o.interval, 2)});
            fit.row({title, optionalText(m->discrimination.auroc, 3) + (rocMark ? "?" : ""),
                     intervalText(m->discrimination.interval, 3),
                     optionalText(m->calibration.inTheLarge, 2),
                     optionalText(m->calibration.slope, 2),
                     pValueText(m->hosmerLemeshow.pValue) + (hlMark ? "?" : ""),
                     optionalText(m->brier, 3)});
            if (o.n == 0) {
                notes.push_back(title + ": no episodes to measure.");
                continue;
            }
            if (!o.ratio)
                notes.push_back(title + ": O:E undefined, no " + outcomeWord(outcome, true) +
                                " expected.");
            else if (o.unreliable)
                notes.push_back(title + ": O:E unreliable, " + fixed(o.expected, 2) + " " +
                                outcomeWord(outcome, true) + " expected (fewer than 5).");
            if (!m->discrimination.auroc)
                notes.push_back(title + ": AUROC undefined, " +
                                (o.observed == 0 ? "no " + outcomeWord(outcome, true)
                                                 : std::string("every episode had one")) +
                                ".");
            else if (m->discrimination.unreliable)
                notes.push_back(title + ": AUROC unreliable, fewer than 5 episodes with or " +
                                "without a " + outcomeWord(outcome, false) + ".");
            if (hlMark)
                notes.push_back(title + ": HL p unreliable, a group expects fewer than 5 " +
                                "episodes with or without a " + outcomeWord(outcome, false) + ".");
            if (!m->calibration.slope && m->discrimination.auroc)
                notes.push_back(title +
                                ": calibration slope and recalibration intercept "
                                "undefined: " +
                                m->calibration.missing + ".");
            if (m->fewEvents)
                notes.push_back(title + ": fewer than 100 episodes with or without a " +
                                outcomeWord(outcome, false) +
                                ", so every figure here is imprecise.");
        }
        out_ += table.render();
        out_ += "\n";
        out_ += fit.render();
        out_ += "\n";
        out_ += wrapped("CITL is calibration-in-the-large (0 when as many " +
                        outcomeWord(outcome, true) +
                        " happen as predicted, above 0 when more); Slope is the calibration "
                        "slope (1 when the spread of the risks is right, below 1 when they are "
                        "too extreme); HL p is the Hosmer-Lemeshow test, a legacy test whose "
                        "verdict depends on the number of episodes.");
        if (!notes.empty())
            out_ += wrapped("A ? beside a figure marks it unreliable; \"-\" marks a figure that "
                            "cannot be computed.");
        for (const std::string& note : notes)
            out_ += wrapped(note);
        if (!notes.empty())
            out_ += "\n";
    }

    void bandTable() {
        const ModelResult* chosen = nullptr;
        for (const ModelResult& m : result_.models)
            if (m.model == options_.bandModel)
                chosen = &m;
        if (!chosen)
            return;
        out_ += "Risk bands, " + std::string(modelTitle(chosen->model)) + "\n\n";
        Table table;
        table.row({"Predicted", "n", "Obs", "Exp", "O:E", "95% CI", ""});
        for (const RiskBand& band : chosen->bands) {
            const ObservedExpected& o = band.figures;
            std::string note;
            if (o.n == 0)
                note = "no episodes";
            else if (!o.ratio)
                note = "undefined: none expected";
            else if (o.unreliable)
                note = "under 5 expected";
            const int from = static_cast<int>(std::lround(band.from * 100));
            const int to = static_cast<int>(std::lround(band.to * 100));
            table.row({std::to_string(from) + "-" + std::to_string(to) + "%", countText(o.n),
                       countText(o.observed), fixed(o.expected, 2),
                       optionalText(o.ratio, 2) + (o.unreliable && o.ratio ? "?" : ""),
                       intervalText(o.interval, 2), note});
        }
        const ObservedExpected& all = chosen->overall;
        table.row({"All", countText(all.n), countText(all.observed), fixed(all.expected, 2),
                   optionalText(all.ratio, 2), intervalText(all.interval, 2), ""});
        out_ += table.render();
        out_ += "\n";
        out_ += wrapped("A band holds predicted risks above its lower bound up to its upper one.");
        out_ += "\n";
    }

    // Where an episode falls in time, in the one date form of this report.
    std::string procedureDate(std::size_t episode) const {
        const std::int32_t day = data_.episodes()[episode].day;
        if (day != Episode::kNoDay)
            return dateText(dateFromDayNumber(day));
        return "date " + printableQuote(data_.dateText(episode));
    }

    void signalList() {
        bool any = false;
        for (const ModelResult& m : result_.models) {
            const Cusum& c = m.cusum;
            if (!any) {
                out_ += "Over time (VLAD; risk-adjusted CUSUM for odds ratio " +
                        fixed(c.oddsRatio, 2) + ")\n\n";
                any = true;
            }
            std::string line = std::string(modelTitle(m.model)) + ": ";
            if (m.overall.n == 0) {
                out_ += wrapped(line + "no episodes");
                continue;
            }
            line += "VLAD " + fixed(m.vlad, 1) + "; ";
            if (!c.limit) {
                out_ += wrapped(line + (c.limitMissing.empty()
                                            ? "the control limit could not be computed"
                                            : "no control limit: " + c.limitMissing));
                continue;
            }
            line += "CUSUM limit " + fixed(*c.limit, 3);
            if (c.limitComputed)
                line += " (in-control run length " + fixed(c.targetArl, 0) + ")";
            line += ", " + countText(c.signals.size()) +
                    (c.signals.size() == 1 ? " signal" : " signals");
            if (c.signals.empty()) {
                out_ += wrapped(line);
                continue;
            }
            out_ += wrapped(line + ", at episode:");
            std::string list;
            for (std::size_t i = 0; i < c.signals.size() && i < kSignalsListed; ++i) {
                if (i > 0)
                    list += ' ';
                // A non-breaking pair: the episode and its date stay on one line.
                list += countText(c.signals[i].position) + "\x01(" +
                        procedureDate(c.signals[i].episode) + ")";
            }
            if (c.signals.size() > kSignalsListed)
                list += " and " + countText(c.signals.size() - kSignalsListed) + " more";
            std::string listLines = wrapped(list, 4, 0);
            std::replace(listLines.begin(), listLines.end(), '\x01', ' ');
            out_ += listLines;
        }
        if (any) {
            out_ += "\n";
            out_ += wrapped("Episodes are counted in order of their date of procedure, among "
                            "those each model measures.");
            out_ += "\n";
        }
    }

    void exclusions() {
        Table table;
        table.row({"Model", "Measured", "Outcome not 0 or 1", "A score not entered"});
        for (const ModelResult& m : result_.models)
            table.row({shortTitle(m.model), countText(m.overall.n),
                       countText(m.excludedUnknownOutcome), countText(m.excludedNotScored)});
        out_ += "Episodes left out\n\n" + table.render() + "\n";
    }

    void problems() {
        if (data_.problemCount() == 0) {
            out_ += "Reading problems: none\n";
            return;
        }
        out_ += "Reading problems (" + countText(data_.problemCount()) + ")\n\n";
        for (const FileSummary& file : data_.files()) {
            std::size_t listed = 0;
            for (const ReadingProblem& problem : file.problems) {
                if (options_.maxProblemsListed && listed == options_.maxProblemsListed)
                    break;
                out_ += wrapped(printable(file.path) + ":" + countText(problem.line) + ": " +
                                    problem.reason,
                                2, 4);
                ++listed;
            }
            if (file.problemCount() > listed)
                out_ += "  " + printable(file.path) + ": and " +
                        countText(file.problemCount() - listed) + " more not listed\n";
        }
    }

    const AuditData& data_;
    const AnalysisResult& result_;
    const AnalysisOptions& analysisOptions_;
    const ReportOptions& options_;
    std::string out_;
};

std::string jsonInterval(const std::optional<Interval>& interval) {
    return interval ? "[" + jsonNumber(interval->lower) + ", " + jsonNumber(interval->upper) + "]"
                    : "null";
}

std::string jsonObservedExpected(const ObservedExpected& o) {
    std::string out;
    out += "\"n\": " + countText(o.n) + ", \"observed\": " + countText(o.observed) +
           ", \"expected\": " + jsonNumber(o.expected) + ", \"oe\": " + jsonNumber(o.ratio) +
           ", \"oe_ci\": ";
    out += o.interval
               ? "[" + jsonNumber(o.interval->lower) + ", " + jsonNumber(o.interval->upper) + "]"
               : "null";
    out += std::string(", \"unreliable\": ") + (o.unreliable ? "true" : "false");
    return out;
}

std::string jsonReport(const AuditData& data, const AnalysisResult& result,
                       const AnalysisOptions& options) {
    std::string out = "{\n  \"files\": [";
    bool first = true;
    for (const FileSummary& file : data.files()) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"path\": " + jsonString(file.path) +
               ", \"opened\": " + (file.opened ? "true" : "false");
        if (file.sameFileAs)
            out += ", \"same_file_as\": " + jsonString(data.files()[*file.sameFileAs].path);
        else if (!file.opened)
            out += ", \"error\": " + jsonString(file.openError);
        out += ", \"lines\": ";
        out += countText(file.lines) + ", \"records\": " + countText(file.records) +
               ", \"header_lines\": " + countText(file.headerLines) +
               ", \"kind\": " + jsonString(fileKindKey(file.kind)) + ", \"problems\": [";
        bool firstProblem = true;
        for (const ReadingProblem& p : file.problems) {
            out += firstProblem ? "" : ", ";
            firstProblem = false;
            out += "{\"line\": " + countText(p.line) + ", \"reason\": " + jsonString(p.reason) +
                   ", \"skipped\": " + (p.skipped ? "true" : "false") + "}";
        }
        out += "], \"problems_not_listed\": " + countText(file.problemsNotKept) + "}";
    }
    out += "\n  ],\n";
    out += "  \"records\": {\"read\": " + countText(data.recordsRead()) +
           ", \"episodes\": " + countText(result.episodes) +
           ", \"merged\": " + countText(data.mergedRecords()) +
           ", \"unparseable_date\": " + countText(data.unparseableDates()) +
           ", \"in_date_range\": " + countText(result.inDateRange) +
           ", \"outside_date_range\": " + countText(result.outsideDateRange) +
           ", \"undated_left_out\": " + countText(result.undatedLeftOut) + "},\n";
    if (result.completeness)
        out += "  \"completeness\": " + completenessJson(*result.completeness) + ",\n";
    out += "  \"models\": [";
    first = true;
    for (const ModelResult& m : result.models) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"model\": " + jsonString(modelKey(m.model)) +
               ", \"outcome\": " + jsonString(outcomeKey(m.outcome)) + ",\n     " +
               jsonObservedExpected(m.overall) +
               ", \"excluded_unknown_outcome\": " + countText(m.excludedUnknownOutcome) +
               ", \"excluded_not_scored\": " + countText(m.excludedNotScored) + ",\n";
        const Discrimination& d = m.discrimination;
        out += "     \"auroc\": " + jsonNumber(d.auroc) + ", \"auroc_ci\": ";
        out += d.interval ? "[" + jsonNumber(d.interval->lower) + ", " +
                                jsonNumber(d.interval->upper) + "]"
                          : "null";
        out += std::string(", \"auroc_unreliable\": ") + (d.unreliable ? "true" : "false") + ",\n";
        const HosmerLemeshow& h = m.hosmerLemeshow;
        out += "     \"hosmer_lemeshow\": {\"chi2\": " + jsonNumber(h.chiSquare) +
               ", \"df\": " + std::to_string(h.degreesOfFreedom) +
               ", \"p\": " + jsonNumber(h.pValue) +
               ", \"unreliable\": " + (h.unreliable ? "true" : "false") + "},\n";
        const Calibration& cal = m.calibration;
        out += "     \"calibration\": {\"intercept\": " + jsonNumber(cal.intercept) +
               ", \"intercept_ci\": " + jsonInterval(cal.interceptInterval) +
               ", \"slope\": " + jsonNumber(cal.slope) +
               ", \"slope_ci\": " + jsonInterval(cal.slopeInterval);
        if (!cal.missing.empty())
            out += ", \"missing\": " + jsonString(cal.missing);
        out += ", \"in_the_large\": " + jsonNumber(cal.inTheLarge) +
               ", \"in_the_large_ci\": " + jsonInterval(cal.inTheLargeInterval);
        if (!cal.inTheLargeMissing.empty())
            out += ", \"in_the_large_missing\": " + jsonString(cal.inTheLargeMissing);
        out += "},\n";
        out += std::string("     \"few_events\": ") + (m.fewEvents ? "true" : "false") + ",\n";
        out += "     \"brier\": " + jsonNumber(m.brier) + ",\n     \"bands\": [";
        for (std::size_t k = 0; k < m.bands.size(); ++k) {
            const RiskBand& b = m.bands[k];
            out += k ? ",\n       " : "\n       ";
            out += "{\"from\": " + jsonNumber(b.from) + ", \"to\": " + jsonNumber(b.to) + ", " +
                   jsonObservedExpected(b.figures) + "}";
        }
        out += "],\n     \"vlad\": " + jsonNumber(m.vlad) + ",\n";
        const Cusum& c = m.cusum;
        out += "     \"cusum\": {\"odds_ratio\": " + jsonNumber(c.oddsRatio) +
               ", \"limit\": " + jsonNumber(c.limit) +
               ", \"limit_computed\": " + (c.limitComputed ? "true" : "false");
        if (!c.limit && !c.limitMissing.empty())
            out += ", \"limit_missing\": " + jsonString(c.limitMissing);
        if (c.limitComputed)
            out += ", \"in_control_arl\": " + jsonNumber(c.targetArl) +
                   ", \"simulation_runs\": " + std::to_string(c.simulationRuns) +
                   ", \"seed\": " + std::to_string(options.seed);
        out += ", \"signals\": [";
        for (std::size_t i = 0; i < c.signals.size(); ++i) {
            out += i ? ", " : "";
            out += "{\"episode\": " + countText(c.signals[i].position) +
                   ", \"date\": " + jsonString(c.signals[i].date) + "}";
        }
        out += "]}}";
    }
    out += "\n  ]\n}\n";
    return out;
}

std::string csvReport(const AnalysisResult& result) {
    std::string out = "model,outcome,band,n,observed,expected,oe,oe_lower,oe_upper,unreliable,"
                      "auroc,auroc_lower,auroc_upper,hl_chi2,hl_df,hl_p,calibration_intercept,"
                      "calibration_slope,brier,vlad,cusum_odds_ratio,cusum_limit,cusum_signals,"
                      "excluded_unknown_outcome,excluded_not_scored,intercept_lower,"
                      "intercept_upper,slope_lower,slope_upper,calibration_in_the_large,"
                      "in_the_large_lower,in_the_large_upper,few_events," +
                      std::string(completenessCsvHeader()) + "\r\n";
    auto number = [](const std::optional<double>& value) {
        return value && std::isfinite(*value) ? jsonNumber(*value) : std::string();
    };
    auto bounds = [&](const std::optional<Interval>& interval) {
        return interval ? number(interval->lower) + "," + number(interval->upper)
                        : std::string(",");
    };
    auto figures = [&](const ObservedExpected& o) {
        return countText(o.n) + "," + countText(o.observed) + "," + jsonNumber(o.expected) + "," +
               number(o.ratio) + "," +
               number(o.interval ? std::optional(o.interval->lower) : std::nullopt) + "," +
               number(o.interval ? std::optional(o.interval->upper) : std::nullopt) + "," +
               (o.unreliable ? "yes" : "no"); // as in the audit window's tables
    };
    for (const ModelResult& m : result.models) {
        const std::string lead =
            quoteCsvField(modelKey(m.model)) + "," + quoteCsvField(outcomeKey(m.outcome)) + ",";
        const Discrimination& d = m.discrimination;
        out += lead + "all," + figures(m.overall) + "," + number(d.auroc) + "," +
               number(d.interval ? std::optional(d.interval->lower) : std::nullopt) + "," +
               number(d.interval ? std::optional(d.interval->upper) : std::nullopt) + "," +
               number(m.hosmerLemeshow.chiSquare) + "," +
               std::to_string(m.hosmerLemeshow.degreesOfFreedom) + "," +
               number(m.hosmerLemeshow.pValue) + "," + number(m.calibration.intercept) + "," +
               number(m.calibration.slope) + "," + number(m.brier) + "," + jsonNumber(m.vlad) +
               "," + jsonNumber(m.cusum.oddsRatio) + "," + number(m.cusum.limit) + "," +
               countText(m.cusum.signals.size()) + "," + countText(m.excludedUnknownOutcome) + "," +
               countText(m.excludedNotScored) + "," + bounds(m.calibration.interceptInterval) +
               "," + bounds(m.calibration.slopeInterval) + "," + number(m.calibration.inTheLarge) +
               "," + bounds(m.calibration.inTheLargeInterval) + "," + (m.fewEvents ? "yes" : "no") +
               "," + completenessCsvCells(result.completeness, m.outcome) + "\r\n";
        for (const RiskBand& b : m.bands)
            out += lead + fixed(b.from, 1) + "-" + fixed(b.to, 1) + "," + figures(b.figures) +
                   ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n";
    }
    return out;
}

} // namespace

std::string formatReport(const AuditData& data, const AnalysisResult& result,
                         const AnalysisOptions& analysisOptions, ReportFormat format,
                         const ReportOptions& options) {
    switch (format) {
    case ReportFormat::Json:
        return jsonReport(data, result, analysisOptions);
    case ReportFormat::Csv:
        return csvReport(result);
    case ReportFormat::Text:
        break;
    }
    return TextReport(data, result, analysisOptions, options).render();
}

} // namespace caldrin::audit
