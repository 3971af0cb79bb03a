// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis for other programs as one JSON object in UTF-8.

#include "audit/auditreport.h"
#include "audit/completeness.h"
#include "audit/text.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace caldrin::audit {

namespace {

// The analysis as JSON, built as a document and written by nlohmann-json:
// keys in the order they are added; numbers as the shortest text that reads
// back the same; texts well-formed UTF-8.
using Json = nlohmann::ordered_json;

// JSON has no NaN or infinity: a figure that is missing is null.
Json jsonNumber(double value) {
    return std::isfinite(value) ? Json(value) : Json(nullptr);
}

Json jsonNumber(const std::optional<double>& value) {
    return value ? jsonNumber(*value) : Json(nullptr);
}

Json jsonText(std::string_view text) {
    return wellFormedUtf8(text);
}

Json jsonInterval(const std::optional<Interval>& interval) {
    return interval ? Json::array({jsonNumber(interval->lower), jsonNumber(interval->upper)})
                    : Json(nullptr);
}

// Why a figure is null, or null when it is not.
Json jsonReason(const std::string& reason) {
    return reason.empty() ? Json(nullptr) : jsonText(reason);
}

void addObservedExpected(Json& out, const ObservedExpected& o) {
    out["n"] = o.n;
    out["observed"] = o.observed;
    out["expected"] = jsonNumber(o.expected);
    out["oe"] = jsonNumber(o.ratio);
    out["oe_ci"] = jsonInterval(o.interval);
    out["unreliable"] = o.unreliable;
}

Json jsonCurve(const CalibrationCurve& curve) {
    Json out = Json::object();
    if (curve.knots.empty()) {
        out["knots"] = nullptr;
        out["points"] = nullptr;
    } else {
        Json knots = Json::array();
        for (const double knot : curve.knots)
            knots.push_back(jsonNumber(knot));
        out["knots"] = std::move(knots);
        Json points = Json::array();
        for (const CalibrationCurvePoint& p : curve.points)
            points.push_back({{"p", jsonNumber(p.p)},
                              {"observed", jsonNumber(p.observed)},
                              {"lower", jsonNumber(p.lower)},
                              {"upper", jsonNumber(p.upper)}});
        out["points"] = std::move(points);
    }
    out["ici"] = jsonNumber(curve.ici);
    out["e50"] = jsonNumber(curve.e50);
    out["e90"] = jsonNumber(curve.e90);
    out["emax"] = jsonNumber(curve.emax);
    out["missing"] = jsonReason(curve.missing);
    return out;
}

Json jsonCusum(const Cusum& c, const AnalysisOptions& options) {
    Json out = Json::object();
    out["odds_ratio"] = jsonNumber(c.oddsRatio);
    out["limit"] = jsonNumber(c.limit);
    out["limit_computed"] = c.limitComputed;
    if (!c.limit && !c.limitMissing.empty())
        out["limit_missing"] = jsonText(c.limitMissing);
    if (c.limitComputed) {
        out["in_control_arl"] = jsonNumber(c.targetArl);
        if (c.chainStates > 0) {
            out["markov_states"] = c.chainStates;
        } else {
            out["simulation_runs"] = c.simulationRuns;
            out["seed"] = options.seed;
        }
    }
    Json signals = Json::array();
    for (const CusumSignal& signal : c.signals)
        signals.push_back({{"episode", signal.position}, {"date", jsonText(signal.date)}});
    out["signals"] = std::move(signals);
    return out;
}

Json jsonModel(const ModelResult& m, const AnalysisOptions& options) {
    Json out = Json::object();
    out["model"] = jsonText(modelKey(m.model));
    out["outcome"] = jsonText(outcomeKey(m.outcome));
    addObservedExpected(out, m.overall);
    out["excluded_unknown_outcome"] = m.excludedUnknownOutcome;
    out["excluded_not_scored"] = m.excludedNotScored;
    const Discrimination& d = m.discrimination;
    out["auroc"] = jsonNumber(d.auroc);
    out["auroc_ci"] = jsonInterval(d.interval);
    out["auroc_unreliable"] = d.unreliable;
    const HosmerLemeshow& h = m.hosmerLemeshow;
    out["hosmer_lemeshow"] = {{"chi2", jsonNumber(h.chiSquare)},
                              {"df", h.degreesOfFreedom},
                              {"p", jsonNumber(h.pValue)},
                              {"unreliable", h.unreliable}};
    const Calibration& cal = m.calibration;
    out["calibration"] = {{"intercept", jsonNumber(cal.intercept)},
                          {"slope", jsonNumber(cal.slope)},
                          {"intercept_ci", jsonInterval(cal.interceptInterval)},
                          {"slope_ci", jsonInterval(cal.slopeInterval)},
                          {"missing", jsonReason(cal.missing)},
                          {"in_the_large", jsonNumber(cal.inTheLarge)},
                          {"in_the_large_ci", jsonInterval(cal.inTheLargeInterval)},
                          {"in_the_large_missing", jsonReason(cal.inTheLargeMissing)}};
    out["few_events"] = m.fewEvents;
    out["calibration_curve"] = jsonCurve(m.calibrationCurve);
    out["brier"] = jsonNumber(m.brier);
    Json bands = Json::array();
    for (const RiskBand& b : m.bands) {
        Json band = {{"from", jsonNumber(b.from)}, {"to", jsonNumber(b.to)}};
        addObservedExpected(band, b.figures);
        bands.push_back(std::move(band));
    }
    out["bands"] = std::move(bands);
    out["vlad"] = jsonNumber(m.vlad);
    out["undated"] = m.undated;
    Json cusum = jsonCusum(m.cusum, options);
    cusum["improvement"] = jsonCusum(m.improvement, options);
    out["cusum"] = std::move(cusum);
    out["funnel"] = {{"phi", jsonNumber(m.funnel.phi)},
                     {"overdispersion_applied", m.funnel.overdispersionApplied}};
    return out;
}

} // namespace

std::string jsonReport(const AuditData& data, const AnalysisResult& result,
                       const AnalysisOptions& options, const ReportOptions& reportOptions) {
    Json report = Json::object();
    Json files = Json::array();
    for (const FileSummary& file : data.files()) {
        Json f = {{"path", jsonText(file.path)}, {"opened", file.opened}};
        if (file.sameFileAs)
            f["same_file_as"] = jsonText(data.files()[*file.sameFileAs].path);
        else if (!file.opened)
            f["error"] = jsonText(file.openError);
        f["lines"] = file.lines;
        f["records"] = file.records;
        f["header_lines"] = file.headerLines;
        f["kind"] = jsonText(fileKindKey(file.kind));
        Json problems = Json::array();
        for (const ReadingProblem& p : file.problems)
            problems.push_back(
                {{"line", p.line}, {"reason", jsonText(p.reason)}, {"skipped", p.skipped}});
        f["problems"] = std::move(problems);
        f["problems_not_listed"] = file.problemsNotKept;
        files.push_back(std::move(f));
    }
    report["files"] = std::move(files);
    report["records"] = {{"read", data.recordsRead()},
                         {"episodes", result.episodes},
                         {"merged", data.mergedRecords()},
                         {"unparseable_date", data.unparseableDates()},
                         {"in_date_range", result.inDateRange},
                         {"outside_date_range", result.outsideDateRange},
                         {"undated_left_out", result.undatedLeftOut}};
    if (result.completeness)
        report["completeness"] = Json::parse(completenessJson(*result.completeness));
    Json models = Json::array();
    for (const ModelResult& m : result.models)
        models.push_back(jsonModel(m, options));
    report["models"] = std::move(models);
    Json comparisons = Json::array();
    for (const AurocComparison& c : result.aurocComparisons)
        comparisons.push_back(
            {{"models", Json::array({jsonText(modelKey(c.first)), jsonText(modelKey(c.second))})},
             {"n", c.n},
             {"difference", jsonNumber(c.difference)},
             {"difference_ci", jsonInterval(c.interval)},
             {"z", jsonNumber(c.z)},
             {"p", jsonNumber(c.p)},
             {"missing", jsonReason(c.missing)}});
    report["auroc_comparisons"] = std::move(comparisons);
    Json units = Json::array();
    for (const Unit& u : result.units) {
        Json figures = Json::array();
        for (const UnitFigures& f : u.models)
            figures.push_back({{"model", jsonText(modelKey(f.model))},
                               {"n", f.n},
                               {"observed", f.observed},
                               {"expected", jsonNumber(f.expected)},
                               {"oe", jsonNumber(f.ratio)},
                               {"outside_95", f.outside95},
                               {"outside_998", f.outside998},
                               {"outside_overdispersed", f.outsideOverdispersed}});
        units.push_back({{"name", jsonText(u.name)}, {"models", std::move(figures)}});
    }
    report["units"] = std::move(units);
    if (!reportOptions.updates.empty())
        report["updated_models"] = Json::parse(updateValidationJson(reportOptions.updates));
    return report.dump(2) + "\n";
}

} // namespace caldrin::audit
