// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis for spreadsheets: one CSV table.

#include "audit/auditreport.h"
#include "audit/completeness.h"
#include "audit/text.h"
#include "auditformat/columns.h"

#include <cmath>
#include <string>

namespace caldrin::audit {

namespace {

// One row per model ("all"), per risk band, per unit ("unit"), per pair of
// models compared ("comparison") and per update checked on later data
// ("update"); a row leaves empty what it does not hold. Columns are only ever
// added at the end: other programs read them by name or by position.
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
                                            "auroc_difference_p",
                                            "update_file",
                                            "update_method",
                                            "used_to_fit",
                                            "before_fit_period",
                                            "undated",
                                            "outside_date_range",
                                            "update_refused"};

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

// A finite number as its shortest text; "null" otherwise, as the JSON has it.
std::string csvNumber(double value) {
    return std::isfinite(value) ? shortestText(value) : "null";
}

// A figure that could not be computed is an empty cell.
std::string number(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? csvNumber(*value) : std::string();
}

// Coded as the window codes them, so that one spreadsheet reads both.
std::string flag(bool value) {
    return value ? "yes" : "no";
}

void setInterval(CsvRow& row, std::string_view lower, std::string_view upper,
                 const std::optional<Interval>& interval) {
    row.set(lower, number(interval ? std::optional(interval->lower) : std::nullopt));
    row.set(upper, number(interval ? std::optional(interval->upper) : std::nullopt));
}

void setFigures(CsvRow& row, const ObservedExpected& o) {
    row.set("n", std::to_string(o.n));
    row.set("observed", std::to_string(o.observed));
    row.set("expected", csvNumber(o.expected));
    row.set("oe", number(o.ratio));
    setInterval(row, "oe_lower", "oe_upper", o.interval);
    row.set("unreliable", flag(o.unreliable)); // as in the audit window's tables
}

void setCalibration(CsvRow& row, const Calibration& cal) {
    row.set("calibration_intercept", number(cal.intercept));
    row.set("calibration_slope", number(cal.slope));
    setInterval(row, "intercept_lower", "intercept_upper", cal.interceptInterval);
    setInterval(row, "slope_lower", "slope_upper", cal.slopeInterval);
    row.set("calibration_in_the_large", number(cal.inTheLarge));
    setInterval(row, "in_the_large_lower", "in_the_large_upper", cal.inTheLargeInterval);
}

std::string header() {
    std::string out;
    for (std::size_t c = 0; c < std::size(kCsvColumns); ++c)
        out.append(c ? "," : "").append(kCsvColumns[c]);
    return out + "\r\n";
}

// Text from a file or a file name, as a cell a spreadsheet shows as text.
std::string textCell(std::string_view bytes) {
    return spreadsheetTextCell(wellFormedUtf8(bytes));
}

// One "update" row per update: its figures on the episodes after its fit
// period, or the reason its file was refused.
std::string updateRows(const std::vector<UpdateValidation>& updates) {
    std::string out;
    for (const UpdateValidation& c : updates) {
        CsvRow row;
        row.set("band", "update");
        row.set("update_file", textCell(c.path));
        if (!c.update) {
            row.set("update_refused", textCell(c.refusal));
            out += row.text();
            continue;
        }
        row.set("model", textCell(c.name));
        row.set("outcome", quoteCsvField(outcomeKey(modelOutcome(c.model))));
        setFigures(row, c.overall);
        row.set("auroc", number(c.discrimination.auroc));
        setInterval(row, "auroc_lower", "auroc_upper", c.discrimination.interval);
        setCalibration(row, c.calibration);
        row.set("brier", number(c.brier));
        row.set("few_events", flag(c.fewEvents));
        row.set("update_method", quoteCsvField(modelupdate::methodKey(c.update->method)));
        row.set("used_to_fit", std::to_string(c.usedToFit));
        row.set("before_fit_period", std::to_string(c.beforeFitPeriod));
        row.set("undated", std::to_string(c.undated));
        row.set("outside_date_range", std::to_string(c.outsideDateRange));
        out += row.text();
    }
    return out;
}

} // namespace

std::string updateCsvTable(const std::vector<UpdateValidation>& updates) {
    return header() + updateRows(updates);
}

std::string csvReport(const AnalysisResult& result, const std::vector<UpdateValidation>& updates) {
    std::string out = header();
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
        setCalibration(row, m.calibration);
        const CalibrationCurve& curve = m.calibrationCurve;
        row.set("ici", number(curve.ici));
        row.set("e50", number(curve.e50));
        row.set("e90", number(curve.e90));
        row.set("emax", number(curve.emax));
        row.set("few_events", flag(m.fewEvents));
        row.setCells("known_due", completenessCsvCells(result.completeness, m.outcome));
        row.set("brier", number(m.brier));
        row.set("vlad", csvNumber(m.vlad));
        row.set("cusum_odds_ratio", csvNumber(m.cusum.oddsRatio));
        row.set("cusum_limit", number(m.cusum.limit));
        row.set("cusum_signals", std::to_string(m.cusum.signals.size()));
        row.set("improvement_odds_ratio", csvNumber(m.improvement.oddsRatio));
        row.set("improvement_limit", number(m.improvement.limit));
        row.set("improvement_signals", std::to_string(m.improvement.signals.size()));
        row.set("funnel_phi", number(m.funnel.phi));
        row.set("funnel_overdispersion_applied", flag(m.funnel.overdispersionApplied));
        row.set("excluded_unknown_outcome", std::to_string(m.excludedUnknownOutcome));
        row.set("excluded_not_scored", std::to_string(m.excludedNotScored));
        out += row.text();
        for (const RiskBand& b : m.bands) {
            CsvRow band = lead(m.model);
            band.set("band", fixedText(b.from, 1) + "-" + fixedText(b.to, 1));
            setFigures(band, b.figures);
            out += band.text();
        }
    }
    for (const Unit& u : result.units) {
        for (const UnitFigures& f : u.models) {
            CsvRow row = lead(f.model);
            row.set("band", "unit");
            row.set("unit", textCell(u.name));
            row.set("n", std::to_string(f.n));
            row.set("observed", std::to_string(f.observed));
            row.set("expected", csvNumber(f.expected));
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
        row.set("n", std::to_string(c.n));
        row.set("compared_with", quoteCsvField(modelKey(c.second)));
        row.set("auroc_difference", number(c.difference));
        setInterval(row, "auroc_difference_lower", "auroc_difference_upper", c.interval);
        row.set("auroc_difference_z", number(c.z));
        row.set("auroc_difference_p", number(c.p));
        out += row.text();
    }
    return out + updateRows(updates);
}

} // namespace caldrin::audit
