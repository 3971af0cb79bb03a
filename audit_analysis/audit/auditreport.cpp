// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditreport.h"
#include "audit/completeness.h"
#include "audit/text.h"
#include "auditformat/columns.h"

#include <array>
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

std::string bracketed(const std::optional<Interval>& interval, int decimals) {
    if (!interval)
        return "(-)";
    return "(" + fixed(interval->lower, decimals) + " to " + fixed(interval->upper, decimals) + ")";
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
        for (const Outcome outcome : {Outcome::Mortality, Outcome::Morbidity}) {
            outcomeTable(outcome);
            calibrationLines(outcome);
        }
        comparisons();
        bandTable();
        signalList();
        units();
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
            if (!m->calibration.slope && !m->calibration.missing.empty())
                notes.push_back(title + ": calibration slope and recalibration intercept " +
                                "undefined: " + m->calibration.missing + ".");
            if (m->fewEvents)
                notes.push_back(title + ": fewer than " + countText(kFewEvents) +
                                " episodes with or without a " + outcomeWord(outcome, false) +
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

    // Calibration-in-the-large, the recalibration intercept and slope, and
    // the flexible curve's summaries, one paragraph per model.
    void calibrationLines(Outcome outcome) {
        bool any = false;
        for (const ModelResult& m : result_.models) {
            if (m.outcome != outcome || m.overall.n == 0)
                continue;
            if (!any) {
                out_ += "Calibration, " +
                        std::string(outcome == Outcome::Mortality ? "mortality" : "morbidity") +
                        " (95% intervals in brackets)\n\n";
                any = true;
            }
            const Calibration& c = m.calibration;
            std::string text = shortTitle(m.model) + ": calibration-in-the-large ";
            text += c.inTheLarge
                        ? fixed(*c.inTheLarge, 2) + " " + bracketed(c.inTheLargeInterval, 2)
                        : "none (" + c.inTheLargeMissing + ")";
            if (c.slope)
                text += "; recalibration intercept " + fixed(*c.intercept, 2) + " " +
                        bracketed(c.interceptInterval, 2) + ", slope " + fixed(*c.slope, 2) + " " +
                        bracketed(c.slopeInterval, 2);
            else
                text += "; no recalibration intercept or slope (" + c.missing + ")";
            const CalibrationCurve& curve = m.calibrationCurve;
            if (curve.ici)
                text += "; flexible curve: ICI " + fixed(*curve.ici, 3) + ", E50 " +
                        fixed(*curve.e50, 3) + ", E90 " + fixed(*curve.e90, 3) + ", Emax " +
                        fixed(*curve.emax, 3);
            else
                text += "; no flexible curve (" + curve.missing + ")";
            if (m.fewEvents)
                text += ". Imprecise: fewer than " + countText(kFewEvents) +
                        " episodes with, or "
                        "without, the outcome";
            out_ += wrapped(text + ".");
        }
        if (!any)
            return;
        out_ += "\n";
        out_ += wrapped("Calibration-in-the-large is 0 when the model predicts as many events as "
                        "occur on the logit scale; above 0, more occur than predicted. The "
                        "recalibration intercept belongs with its slope (slope 1: the spread "
                        "of the risks is right; below 1, too extreme). ICI is the mean distance "
                        "between the flexible calibration curve and the diagonal, in risk; E50, "
                        "E90 and Emax its median, 90th percentile and largest value.");
        out_ += "\n";
    }

    void comparisons() {
        if (result_.aurocComparisons.empty())
            return;
        out_ += "AUROCs compared (paired DeLong test, 95% intervals in brackets)\n\n";
        for (const AurocComparison& c : result_.aurocComparisons) {
            std::string text = shortTitle(c.first) + " against " + shortTitle(c.second) + ": ";
            if (c.difference)
                text += "difference " + fixed(*c.difference, 3);
            if (c.interval)
                text += " " + bracketed(c.interval, 3) + ", z " + fixed(*c.z, 2) + ", p " +
                        pValueText(c.p);
            if (!c.missing.empty())
                text += (c.difference ? "; " : "") + c.missing;
            out_ += wrapped(text + " (" + countText(c.n) + " episodes)");
        }
        out_ += "\n";
    }

    void units() {
        if (result_.units.empty())
            return;
        out_ += "Units (one per input file) on the funnel plot of O:E\n\n";
        if (result_.units.size() < 2) {
            out_ += wrapped("Only one input file was read, so there are no units to compare.");
            out_ += "\n";
            return;
        }
        for (std::size_t k = 0; k < result_.models.size(); ++k) {
            const ModelResult& m = result_.models[k];
            std::vector<std::pair<int, const Unit*>> ranked;
            for (const Unit& u : result_.units) {
                const UnitFigures& f = u.models[k];
                const int rank = f.outside998 || f.outsideOverdispersed ? 0 : f.outside95 ? 1 : 2;
                ranked.emplace_back(rank, &u);
            }
            std::stable_sort(ranked.begin(), ranked.end(),
                             [](const auto& l, const auto& r) { return l.first < r.first; });
            std::string heading = shortTitle(m.model);
            if (m.funnel.phi)
                heading += ", overdispersion phi " + fixed(*m.funnel.phi, 2) +
                           (m.funnel.overdispersionApplied ? " (limits widened)" : "");
            out_ += wrapped(heading);
            Table table;
            table.row({"Unit", "n", "Obs", "Exp", "O:E", "Funnel"});
            for (const auto& [rank, u] : ranked) {
                const UnitFigures& f = u->models[k];
                std::string where = !f.ratio       ? "none expected"
                                    : f.outside998 ? "outside 99.8%"
                                    : f.outside95  ? "outside 95%"
                                                   : "inside";
                if (f.outsideOverdispersed)
                    where += ", outside widened";
                table.row({printable(u->name), countText(f.n), countText(f.observed),
                           fixed(f.expected, 2), optionalText(f.ratio, 2), where});
            }
            out_ += table.render("    ");
        }
        out_ += "\n";
        out_ += wrapped("Limits at each unit's expected count are exact Poisson limits; a unit "
                        "outside the 99.8% limits is unlikely to differ by chance. With 10 "
                        "units or more and phi above 1, units are also judged against limits "
                        "widened by the square root of phi.");
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
            // Episodes without a readable date come last: say so, as their
            // place in time is not known.
            if (m.undated > 0)
                line += countText(m.undated) +
                        (m.undated == 1 ? " episode without a readable date comes last; "
                                        : " episodes without a readable date come last; ");
            if (!c.limit) {
                out_ += wrapped(line + (c.limitMissing.empty()
                                            ? "the control limit could not be computed"
                                            : "no control limit: " + c.limitMissing));
                continue;
            }
            line += "CUSUM (more " + outcomeWord(m.outcome, true) + " than predicted) limit " +
                    fixed(*c.limit, 3);
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
        for (const ModelResult& m : result_.models) {
            if (m.overall.n == 0)
                continue;
            const Cusum& c = m.improvement;
            std::string line = shortTitle(m.model) + ": improvement CUSUM (fewer " +
                               outcomeWord(m.outcome, true) + " than predicted, odds ratio " +
                               fixed(c.oddsRatio, 2) + ") ";
            if (!c.limit) {
                out_ += wrapped(line + "no control limit: " + c.limitMissing);
                continue;
            }
            line += "limit " + fixed(*c.limit, 3) + ", " + countText(c.signals.size()) +
                    (c.signals.size() == 1 ? " signal" : " signals");
            for (std::size_t i = 0; i < c.signals.size() && i < kSignalsListed; ++i)
                line += (i ? ", " : ", at episode ") + countText(c.signals[i].position) + "\x01(" +
                        procedureDate(c.signals[i].episode) + ")";
            if (c.signals.size() > kSignalsListed)
                line += " and " + countText(c.signals.size() - kSignalsListed) + " more";
            std::string lines = wrapped(line);
            std::replace(lines.begin(), lines.end(), '\x01', ' ');
            out_ += lines;
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

std::string jsonBool(bool value) {
    return value ? "true" : "false";
}

// Why a figure is null, or null when it is not.
std::string jsonReason(const std::string& reason) {
    return reason.empty() ? "null" : jsonString(reason);
}

std::string jsonCurve(const CalibrationCurve& curve) {
    std::string out = "{\"knots\": ";
    if (curve.knots.empty()) {
        out += "null, \"points\": null";
    } else {
        out += "[";
        for (std::size_t i = 0; i < curve.knots.size(); ++i)
            out.append(i ? ", " : "").append(jsonNumber(curve.knots[i]));
        out += "], \"points\": [";
        for (std::size_t i = 0; i < curve.points.size(); ++i) {
            const CalibrationCurvePoint& p = curve.points[i];
            out += i ? ",\n         " : "\n         ";
            out += "{\"p\": " + jsonNumber(p.p) + ", \"observed\": " + jsonNumber(p.observed) +
                   ", \"lower\": " + jsonNumber(p.lower) + ", \"upper\": " + jsonNumber(p.upper) +
                   "}";
        }
        out += "]";
    }
    out += ",\n       \"ici\": " + jsonNumber(curve.ici) + ", \"e50\": " + jsonNumber(curve.e50) +
           ", \"e90\": " + jsonNumber(curve.e90) + ", \"emax\": " + jsonNumber(curve.emax) +
           ", \"missing\": " + jsonReason(curve.missing) + "}";
    return out;
}

std::string jsonCusum(const Cusum& c, const AnalysisOptions& options) {
    std::string out = "\"odds_ratio\": " + jsonNumber(c.oddsRatio) +
                      ", \"limit\": " + jsonNumber(c.limit) +
                      ", \"limit_computed\": " + jsonBool(c.limitComputed);
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
    return out + "]";
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
               ", \"slope\": " + jsonNumber(cal.slope) +
               ", \"intercept_ci\": " + jsonInterval(cal.interceptInterval) +
               ", \"slope_ci\": " + jsonInterval(cal.slopeInterval) +
               ", \"missing\": " + jsonReason(cal.missing) +
               ",\n       \"in_the_large\": " + jsonNumber(cal.inTheLarge) +
               ", \"in_the_large_ci\": " + jsonInterval(cal.inTheLargeInterval) +
               ", \"in_the_large_missing\": " + jsonReason(cal.inTheLargeMissing) + "},\n";
        out += "     \"few_events\": " + jsonBool(m.fewEvents) + ",\n";
        out += "     \"calibration_curve\": " + jsonCurve(m.calibrationCurve) + ",\n";
        out += "     \"brier\": " + jsonNumber(m.brier) + ",\n     \"bands\": [";
        for (std::size_t k = 0; k < m.bands.size(); ++k) {
            const RiskBand& b = m.bands[k];
            out += k ? ",\n       " : "\n       ";
            out += "{\"from\": " + jsonNumber(b.from) + ", \"to\": " + jsonNumber(b.to) + ", " +
                   jsonObservedExpected(b.figures) + "}";
        }
        out += "],\n     \"vlad\": " + jsonNumber(m.vlad) +
               ", \"undated\": " + countText(m.undated) + ",\n";
        out += "     \"cusum\": {" + jsonCusum(m.cusum, options) + ",\n       \"improvement\": {" +
               jsonCusum(m.improvement, options) + "}},\n";
        out += "     \"funnel\": {\"phi\": " + jsonNumber(m.funnel.phi) +
               ", \"overdispersion_applied\": " + jsonBool(m.funnel.overdispersionApplied) + "}}";
    }
    out += "\n  ],\n  \"auroc_comparisons\": [";
    first = true;
    for (const AurocComparison& c : result.aurocComparisons) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"models\": [" + jsonString(modelKey(c.first)) + ", " +
               jsonString(modelKey(c.second)) + "], \"n\": " + countText(c.n) +
               ", \"difference\": " + jsonNumber(c.difference) +
               ", \"difference_ci\": " + jsonInterval(c.interval) + ", \"z\": " + jsonNumber(c.z) +
               ", \"p\": " + jsonNumber(c.p) + ", \"missing\": " + jsonReason(c.missing) + "}";
    }
    out += "\n  ],\n  \"units\": [";
    first = true;
    for (const Unit& u : result.units) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"name\": " + jsonString(u.name) + ", \"models\": [";
        for (std::size_t k = 0; k < u.models.size(); ++k) {
            const UnitFigures& f = u.models[k];
            out += k ? ",\n      " : "\n      ";
            out += "{\"model\": " + jsonString(modelKey(f.model)) + ", \"n\": " + countText(f.n) +
                   ", \"observed\": " + countText(f.observed) +
                   ", \"expected\": " + jsonNumber(f.expected) +
                   ", \"oe\": " + jsonNumber(f.ratio) +
                   ", \"outside_95\": " + jsonBool(f.outside95) +
                   ", \"outside_998\": " + jsonBool(f.outside998) +
                   ", \"outside_overdispersed\": " + jsonBool(f.outsideOverdispersed) + "}";
        }
        out += "]}";
    }
    out += "\n  ]\n}\n";
    return out;
}

// One row per model ("all"), per risk band, per unit ("unit") and per pair of
// models compared ("comparison"); a row leaves empty what it does not hold.
constexpr std::string_view kCsvColumns[] = {"model",
                                            "outcome",
                                            "band",
                                            "n",
                                            "observed",
                                            "expected",
                                            "oe",
                                            "oe_lower",
                                            "oe_upper",
                                            "unreliable",
                                            "auroc",
                                            "auroc_lower",
                                            "auroc_upper",
                                            "hl_chi2",
                                            "hl_df",
                                            "hl_p",
                                            "calibration_intercept",
                                            "calibration_slope",
                                            "brier",
                                            "vlad",
                                            "cusum_odds_ratio",
                                            "cusum_limit",
                                            "cusum_signals",
                                            "excluded_unknown_outcome",
                                            "excluded_not_scored",
                                            "intercept_lower",
                                            "intercept_upper",
                                            "slope_lower",
                                            "slope_upper",
                                            "calibration_in_the_large",
                                            "in_the_large_lower",
                                            "in_the_large_upper",
                                            "few_events",
                                            "known_due",
                                            "known_not_yet_due",
                                            "unknown_due",
                                            "unknown_not_yet_due",
                                            "unknown_no_date",
                                            "known_share_of_due",
                                            "ici",
                                            "e50",
                                            "e90",
                                            "emax",
                                            "improvement_odds_ratio",
                                            "improvement_limit",
                                            "improvement_signals",
                                            "funnel_phi",
                                            "funnel_overdispersion_applied",
                                            "unit",
                                            "outside_95",
                                            "outside_998",
                                            "outside_overdispersed",
                                            "compared_with",
                                            "auroc_difference",
                                            "auroc_difference_lower",
                                            "auroc_difference_upper",
                                            "auroc_difference_z",
                                            "auroc_difference_p"};

class CsvRow {
public:
    void set(std::string_view column, std::string value) {
        for (std::size_t c = 0; c < std::size(kCsvColumns); ++c)
            if (kCsvColumns[c] == column) {
                cells_[c] = std::move(value);
                return;
            }
    }
    // Cells joined by commas, from `first` on.
    void setCells(std::string_view first, std::string_view joined) {
        std::size_t c = 0;
        while (c < std::size(kCsvColumns) && kCsvColumns[c] != first)
            ++c;
        for (std::size_t start = 0; c < cells_.size(); ++c) {
            const std::size_t comma = joined.find(',', start);
            cells_[c] = std::string(joined.substr(start, comma - start));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
    }
    std::string text() const {
        std::string out;
        for (std::size_t c = 0; c < cells_.size(); ++c)
            out.append(c ? "," : "").append(cells_[c]);
        return out + "\r\n";
    }

private:
    std::array<std::string, std::size(kCsvColumns)> cells_;
};

std::string csvReport(const AnalysisResult& result) {
    std::string out;
    for (std::size_t c = 0; c < std::size(kCsvColumns); ++c)
        out.append(c ? "," : "").append(kCsvColumns[c]);
    out += "\r\n";
    auto number = [](const std::optional<double>& value) {
        return value && std::isfinite(*value) ? jsonNumber(*value) : std::string();
    };
    // Coded as the window codes them, so that one spreadsheet reads both.
    auto flag = [](bool value) { return std::string(value ? "yes" : "no"); };
    auto setInterval = [&](CsvRow& row, std::string_view lower, std::string_view upper,
                           const std::optional<Interval>& interval) {
        row.set(lower, number(interval ? std::optional(interval->lower) : std::nullopt));
        row.set(upper, number(interval ? std::optional(interval->upper) : std::nullopt));
    };
    auto setFigures = [&](CsvRow& row, const ObservedExpected& o) {
        row.set("n", countText(o.n));
        row.set("observed", countText(o.observed));
        row.set("expected", jsonNumber(o.expected));
        row.set("oe", number(o.ratio));
        setInterval(row, "oe_lower", "oe_upper", o.interval);
        row.set("unreliable", o.unreliable ? "yes" : "no"); // as in the audit window's tables
    };
    auto lead = [&](Model model) {
        CsvRow row;
        row.set("model", quoteCsvField(modelKey(model)));
        row.set("outcome", quoteCsvField(outcomeKey(modelOutcome(model))));
        return row;
    };
    for (const ModelResult& m : result.models) {
        CsvRow row = lead(m.model);
        row.set("band", "all");
        setFigures(row, m.overall);
        const Discrimination& d = m.discrimination;
        row.set("auroc", number(d.auroc));
        setInterval(row, "auroc_lower", "auroc_upper", d.interval);
        row.set("hl_chi2", number(m.hosmerLemeshow.chiSquare));
        row.set("hl_df", std::to_string(m.hosmerLemeshow.degreesOfFreedom));
        row.set("hl_p", number(m.hosmerLemeshow.pValue));
        const Calibration& cal = m.calibration;
        row.set("calibration_intercept", number(cal.intercept));
        row.set("calibration_slope", number(cal.slope));
        setInterval(row, "intercept_lower", "intercept_upper", cal.interceptInterval);
        setInterval(row, "slope_lower", "slope_upper", cal.slopeInterval);
        row.set("calibration_in_the_large", number(cal.inTheLarge));
        setInterval(row, "in_the_large_lower", "in_the_large_upper", cal.inTheLargeInterval);
        const CalibrationCurve& curve = m.calibrationCurve;
        row.set("ici", number(curve.ici));
        row.set("e50", number(curve.e50));
        row.set("e90", number(curve.e90));
        row.set("emax", number(curve.emax));
        row.set("few_events", flag(m.fewEvents));
        row.setCells("known_due", completenessCsvCells(result.completeness, m.outcome));
        row.set("brier", number(m.brier));
        row.set("vlad", jsonNumber(m.vlad));
        row.set("cusum_odds_ratio", jsonNumber(m.cusum.oddsRatio));
        row.set("cusum_limit", number(m.cusum.limit));
        row.set("cusum_signals", countText(m.cusum.signals.size()));
        row.set("improvement_odds_ratio", jsonNumber(m.improvement.oddsRatio));
        row.set("improvement_limit", number(m.improvement.limit));
        row.set("improvement_signals", countText(m.improvement.signals.size()));
        row.set("funnel_phi", number(m.funnel.phi));
        row.set("funnel_overdispersion_applied", flag(m.funnel.overdispersionApplied));
        row.set("excluded_unknown_outcome", countText(m.excludedUnknownOutcome));
        row.set("excluded_not_scored", countText(m.excludedNotScored));
        out += row.text();
        for (const RiskBand& b : m.bands) {
            CsvRow band = lead(m.model);
            band.set("band", fixed(b.from, 1) + "-" + fixed(b.to, 1));
            setFigures(band, b.figures);
            out += band.text();
        }
    }
    for (const Unit& u : result.units) {
        for (const UnitFigures& f : u.models) {
            CsvRow row = lead(f.model);
            row.set("band", "unit");
            row.set("unit", quoteCsvField(wellFormedUtf8(u.name)));
            row.set("n", countText(f.n));
            row.set("observed", countText(f.observed));
            row.set("expected", jsonNumber(f.expected));
            row.set("oe", number(f.ratio));
            row.set("outside_95", flag(f.outside95));
            row.set("outside_998", flag(f.outside998));
            row.set("outside_overdispersed", flag(f.outsideOverdispersed));
            out += row.text();
        }
    }
    for (const AurocComparison& c : result.aurocComparisons) {
        CsvRow row = lead(c.first);
        row.set("band", "comparison");
        row.set("n", countText(c.n));
        row.set("compared_with", quoteCsvField(modelKey(c.second)));
        row.set("auroc_difference", number(c.difference));
        setInterval(row, "auroc_difference_lower", "auroc_difference_upper", c.interval);
        row.set("auroc_difference_z", number(c.z));
        row.set("auroc_difference_p", number(c.p));
        out += row.text();
    }
    return out;
}

} // namespace

std::string formatReport(const AuditData& data, const AnalysisResult& result,
                         const AnalysisOptions& analysisOptions, ReportFormat format,
                         const ReportOptions& options) {
    switch (format) {
    case ReportFormat::Json: {
        std::string out = jsonReport(data, result, analysisOptions);
        if (!options.updates.empty() && out.ends_with("\n}\n")) {
            out.resize(out.size() - 3);
            out += ",\n  \"updated_models\": " + updateValidationJson(options.updates) + "\n}\n";
        }
        return out;
    }
    case ReportFormat::Csv:
        return csvReport(result);
    case ReportFormat::Text:
        break;
    }
    return TextReport(data, result, analysisOptions, options).render() +
           updateValidationText(options.updates);
}

} // namespace caldrin::audit
