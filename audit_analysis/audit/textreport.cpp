// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis for people: a report for a terminal of 80 columns.

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

} // namespace

std::string textReport(const AuditData& data, const AnalysisResult& result,
                       const AnalysisOptions& analysisOptions, const ReportOptions& options) {
    return TextReport(data, result, analysisOptions, options).render() +
           updateValidationText(options.updates);
}

} // namespace caldrin::audit
