// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/updatevalidation.h"
#include "audit/calibration.h"
#include "audit/statistics.h"
#include "audit/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace caldrin::audit {

namespace {

std::optional<Model> auditModel(riskmodels::ModelId id) {
    for (const Model model : kAllModels)
        if (modelEntry(model).id == id)
            return model;
    return std::nullopt;
}

std::string count(std::uint64_t value) {
    return std::to_string(value);
}

std::string figure(const std::optional<double>& value, int decimals) {
    return value ? fixedText(*value, decimals) : std::string("-");
}

std::string interval(const std::optional<Interval>& value, int decimals) {
    return value ? " (" + fixedText(value->lower, decimals) + " to " +
                       fixedText(value->upper, decimals) + ")"
                 : std::string();
}

std::string jsonNumber(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? shortestText(*value) : std::string("null");
}

// Built by appending: GCC 12 at -O3 takes "literal" + string for an
// overlapping copy.
std::string jsonInterval(const std::optional<Interval>& value) {
    if (!value)
        return "null";
    std::string text(1, '[');
    text.append(shortestText(value->lower)).append(", ").append(shortestText(value->upper));
    text.push_back(']');
    return text;
}

} // namespace

std::string updateName(const modelupdate::ModelUpdate& update) {
    const riskmodels::RiskModel& entry = riskmodels::model(update.model);
    return std::string(entry.title) + ", updated on " +
           (update.unit.empty() ? std::string("an unnamed unit") : update.unit) + ", " +
           isoDate(update.from) + " to " + isoDate(update.to);
}

UpdateValidation validateUpdate(const AuditData& data, const std::string& path,
                                const modelupdate::ReadUpdate& read,
                                const AnalysisOptions& options) {
    UpdateValidation check;
    check.path = path;
    if (!read.update) {
        check.refusal = read.refusal;
        return check;
    }
    const modelupdate::ModelUpdate& update = *read.update;
    const std::optional<Model> model = auditModel(update.model);
    if (!model) {
        check.refusal = "The update's model is not one the audit analysis measures.";
        return check;
    }
    check.update = update;
    check.model = *model;
    check.name = updateName(update);
    const std::int32_t fitFrom = dayNumber(update.from);
    const std::int32_t fitTo = dayNumber(update.to);
    const std::int32_t rangeFrom = options.from ? dayNumber(*options.from) : INT32_MIN;
    const std::int32_t rangeTo = options.to ? dayNumber(*options.to) : INT32_MAX;
    std::vector<double> risks;
    std::vector<std::uint8_t> outcomes;
    double squares = 0;
    for (const Episode& e : data.episodes()) {
        const int y = e.outcome(*model);
        if (y < 0 || e.physiologicalScore == 0 || e.operativeScore == 0)
            continue;
        if (e.day == Episode::kNoDay) {
            ++check.undated;
        } else if (e.day < fitFrom) {
            ++check.beforeFitPeriod;
        } else if (e.day <= fitTo) {
            ++check.usedToFit;
        } else if (e.day < rangeFrom || e.day > rangeTo) {
            ++check.outsideDateRange;
        } else {
            const double p = modelupdate::applyUpdateToRisk(update, e.risk(*model),
                                                            e.physiologicalScore, e.operativeScore)
                                 .risk;
            risks.push_back(p);
            outcomes.push_back(static_cast<std::uint8_t>(y));
            squares += (p - y) * (p - y);
        }
    }
    const std::vector<RiskGroup> groups = groupByRisk(risks, outcomes);
    const auto [events, nonEvents] = classSizes(groups);
    double expected = 0;
    for (const double p : risks)
        expected += p;
    check.overall = observedExpected(risks.size(), events, expected);
    check.discrimination = discrimination(groups);
    check.calibration = calibrationFit(groups);
    if (!risks.empty())
        check.brier = squares / static_cast<double>(risks.size());
    check.fewEvents = std::min(events, nonEvents) < kFewEvents;
    return check;
}

std::string updateValidationText(const std::vector<UpdateValidation>& checks) {
    if (checks.empty())
        return {};
    std::string out = "\nUpdated models, checked on the episodes after their fit period\n";
    for (const UpdateValidation& c : checks) {
        const std::string file = wellFormedUtf8(c.path, true);
        if (!c.update) {
            out += "  " + file + ": " + c.refusal + "\n";
            continue;
        }
        out += "  " + c.name + " (" + std::string(modelupdate::methodTitle(c.update->method)) +
               ", " + file + ")\n";
        out += "    Left out: " + count(c.usedToFit) +
               " episodes used to fit it (dated within its fit period), " +
               count(c.beforeFitPeriod) + " dated before it, " + count(c.undated) +
               " without a readable date";
        if (c.outsideDateRange > 0)
            out += ", " + count(c.outsideDateRange) + " after it but outside the date range";
        out += "\n";
        const ObservedExpected& o = c.overall;
        if (o.n == 0) {
            out += "    No episode after the fit period: nothing to check it on yet.\n";
            continue;
        }
        out += "    n " + count(o.n) + ", observed " + count(o.observed) + ", expected " +
               fixedText(o.expected, 1) + ", O:E " + figure(o.ratio, 2) + interval(o.interval, 2) +
               (o.unreliable ? " (unreliable)" : "") + "\n";
        out += "    AUROC " + figure(c.discrimination.auroc, 3) +
               interval(c.discrimination.interval, 3) +
               (c.discrimination.unreliable ? " (unreliable)" : "") + "\n";
        const Calibration& cal = c.calibration;
        out += "    Calibration-in-the-large " +
               (cal.inTheLarge ? fixedText(*cal.inTheLarge, 2) + interval(cal.inTheLargeInterval, 2)
                               : "- (" + cal.inTheLargeMissing + ")") +
               "\n";
        out += "    Calibration slope " +
               (cal.slope ? fixedText(*cal.slope, 2) + interval(cal.slopeInterval, 2)
                          : "- (" + cal.missing + ")") +
               "\n";
        out += "    Brier " + figure(c.brier, 4) + "\n";
        if (c.fewEvents)
            out += "    Fewer than 100 episodes with, or without, the outcome: every figure is "
                   "imprecise.\n";
    }
    return out;
}

std::string updateValidationJson(const std::vector<UpdateValidation>& checks) {
    std::string out = "[";
    bool first = true;
    for (const UpdateValidation& c : checks) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += "{\"file\": " + jsonString(c.path);
        if (!c.update) {
            out += ", \"refused\": " + jsonString(c.refusal) + "}";
            continue;
        }
        const ObservedExpected& o = c.overall;
        const Calibration& cal = c.calibration;
        out += ", \"name\": " + jsonString(c.name) +
               ", \"model\": " + jsonString(riskmodels::model(c.update->model).key) +
               ", \"method\": " + jsonString(modelupdate::methodKey(c.update->method)) +
               ", \"unit\": " + jsonString(c.update->unit) +
               ", \"fit_from\": " + jsonString(isoDate(c.update->from)) +
               ", \"fit_to\": " + jsonString(isoDate(c.update->to)) +
               ", \"used_to_fit\": " + count(c.usedToFit) +
               ", \"before_fit_period\": " + count(c.beforeFitPeriod) +
               ", \"undated\": " + count(c.undated) +
               ", \"outside_date_range\": " + count(c.outsideDateRange) + ", \"n\": " + count(o.n) +
               ", \"observed\": " + count(o.observed) +
               ", \"expected\": " + shortestText(o.expected) + ", \"oe\": " + jsonNumber(o.ratio) +
               ", \"oe_ci\": " + jsonInterval(o.interval) +
               ", \"auroc\": " + jsonNumber(c.discrimination.auroc) +
               ", \"auroc_ci\": " + jsonInterval(c.discrimination.interval) +
               ", \"calibration_in_the_large\": " + jsonNumber(cal.inTheLarge) +
               ", \"calibration_in_the_large_ci\": " + jsonInterval(cal.inTheLargeInterval) +
               ", \"calibration_slope\": " + jsonNumber(cal.slope) +
               ", \"calibration_slope_ci\": " + jsonInterval(cal.slopeInterval) +
               ", \"brier\": " + jsonNumber(c.brier) +
               ", \"few_events\": " + (c.fewEvents ? "true" : "false") + "}";
    }
    out += first ? "]" : "\n  ]";
    return out;
}

} // namespace caldrin::audit
