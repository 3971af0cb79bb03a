// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading audit data files back and measuring observed against expected
// outcomes, by model, by risk band and over time. Plain C++: no Qt, no
// windows, no clock. Usable from a worker thread: nothing here is shared
// between calls except what the caller passes in.
//
// Typical use:
//     AuditReader reader(readOptions);
//     for (path : paths) reader.addFile(path, progress);
//     AuditData data = reader.finish();
//     AnalysisResult result = analyse(data, analysisOptions, progress);
//     // change the date range and call analyse() again: the files are not read again.

#include "audit/filekind.h"
#include "auditformat/recorddate.h"
#include "riskmodels/riskmodels.h"

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin::audit {

// ---------------------------------------------------------------- models

// The stored risks come first, in the order of the audit file's risk columns
// read as morbidity first; the computed models follow. The names, equations
// and sources of all of them are riskmodels' table.
enum class Model {
    PossumMorbidity,
    PossumMortality,
    PPossumMortality,
    RaaaPossumMortality,              // the file's V_MORT column
    RaaaPossumPhysiologicalMortality, // the file's VP_MORT column
    VPossum2001Mortality,             // computed from PHYS_TOTAL and OP_TOTAL
    VPossum2001PhysiologicalMortality,
    PPossum1998Mortality,
};
inline constexpr std::size_t kModelCount = 8;
inline constexpr std::size_t kStoredModelCount = 5;
inline constexpr std::array<Model, kModelCount> kAllModels = {
    Model::PossumMorbidity,
    Model::PossumMortality,
    Model::PPossumMortality,
    Model::RaaaPossumMortality,
    Model::RaaaPossumPhysiologicalMortality,
    Model::VPossum2001Mortality,
    Model::VPossum2001PhysiologicalMortality,
    Model::PPossum1998Mortality};

enum class Outcome { Morbidity, Mortality };

// The model's row in the table of risk models.
const riskmodels::RiskModel& modelEntry(Model model);
// Read from the file (the first five) or computed from the two scores.
bool isStoredModel(Model model);
// The JSON and CSV key: "possum_morbidity", ..., "raaa_possum_mortality",
// "v_possum_2001_mortality", "p_possum_1998_mortality".
std::string_view modelKey(Model model);
// What a reader sees: "POSSUM morbidity", "RAAA-POSSUM mortality", ...
std::string_view modelTitle(Model model);
// Accepts the key, or the key with "-" for "_" and any case, or the short
// name ("p-possum", "raaa-possum", "v-possum-2001"). The names the stored
// ruptured-aneurysm risks had before ("v-possum", "v-possum-physiological")
// still choose them; `oldName` then tells the caller so it can say so.
struct ModelChoice {
    Model model;
    bool oldName = false;
};
std::optional<ModelChoice> modelFromName(std::string_view name);
Outcome modelOutcome(Model model);
std::string_view outcomeKey(Outcome outcome); // "morbidity", "mortality"

// ---------------------------------------------------------------- dates

// The order and the date rule are the calculator's own (auditformat).
using caldrin::DateOrder;
using Date = caldrin::CalendarDate;

// Days from 1 January 1970; negative before it.
std::int32_t dayNumber(const Date& date);
Date dateFromDayNumber(std::int32_t days);

// A date of procedure as typed: three numbers separated by "/", "-" or "."
// (the same mark twice), spaces allowed around them, in `order`. A year of
// one or two digits falls in the century of `currentYear`, as the calculator
// reads it. Nothing when the text is not a real calendar date.
std::optional<Date> readProcedureDate(std::string_view text, DateOrder order, int currentYear);

// ---------------------------------------------------------------- progress

// Called now and then during long work with the stage ("Reading", "Merging",
// "Analysing", "Control limit"), the work done and the work in all (bytes or
// steps). Return false to cancel: the call in progress then stops soon and
// reports that it was cancelled.
using Progress =
    std::function<bool(std::string_view stage, std::uint64_t done, std::uint64_t total)>;

// ---------------------------------------------------------------- reading

struct ReadOptions {
    DateOrder dateOrder = DateOrder::DayMonthYear;
    // The year two-digit years are read against; the caller takes it from the
    // clock (tests fix it).
    int currentYear = 2000;
    // Keep the fields before MORBIDITY of every record whose outcome is not
    // known, as read, for following episodes up (see
    // followup.h). Off, the reader keeps nothing of the identity.
    bool keepLeadingFields = false;
};

// A line that could not be read as it stands. `skipped` is false when the
// record was still used (its figures read from the right, its identity not
// trusted).
struct ReadingProblem {
    std::uint64_t line = 0; // 1-based physical line where the record starts
    std::string reason;     // UTF-8, for people; quotes file text made safe to print
    bool skipped = true;
};

// Problems kept with their lines per file; any more are only counted, so that
// a file of nothing but bad lines cannot fill the memory or the report.
inline constexpr std::size_t kProblemsKept = 1000;

struct FileSummary {
    std::string path;
    bool opened = false;
    std::string openError; // UTF-8, when !opened
    // Set when this path names a file given before (the same device and
    // inode): the file is read once, and this repeat is not read.
    std::optional<std::size_t> sameFileAs; // index into the files
    bool cancelled = false;
    std::uint64_t bytes = 0; // bytes read
    // Physical lines: the line ends, and a last line without one when it
    // holds anything.
    std::uint64_t lines = 0;
    std::uint64_t records = 0;     // records taken from this file
    std::uint64_t headerLines = 0; // column-name lines skipped (first line or mid-file)
    std::uint64_t blankLines = 0;
    std::uint64_t fullLines = 0;          // lines of 31 fields or more, read or not
    std::vector<ReadingProblem> problems; // the first kProblemsKept
    std::uint64_t problemsNotKept = 0;    // counted beyond those
    // Set once the file is read (see filekind.h).
    FileKind kind = FileKind::AuditData;

    std::uint64_t problemCount() const { return problems.size() + problemsNotKept; }
};

class AuditData;

// Reads files one after another (in the order given: the last record wins on
// merging, across files too). Streams each file in blocks: memory grows with
// the records kept, not with the file.
class AuditReader {
public:
    explicit AuditReader(ReadOptions options = {});
    ~AuditReader();
    AuditReader(const AuditReader&) = delete;
    AuditReader& operator=(const AuditReader&) = delete;

    // False when the file cannot be opened or read (see the summary's
    // openError) or the read was cancelled; records read before a cancel are
    // kept. Reading problems inside the file never fail the call. Only regular
    // files and pipes are read; a file that is not text (NUL bytes or control
    // codes at the start) is refused after its first block. A file given
    // again under another name is not read twice.
    bool addFile(const std::string& path, const Progress& progress = {});

    // The total size of the files about to be read, a hint only: storage
    // for all their records is reserved once the first of them proves to be
    // text (too much for memory is not reserved). Many files then cost what
    // one file of their total size costs, where room grown file by file is
    // copied and briefly held twice.
    void expectBytes(std::uint64_t bytes);

    // Reads from memory as if it were a file called `name` (tests, pipes).
    // `writerHoldsIt` says whether a writer held the file's lock as it was
    // read: only then can a last line without a line end be a record in the
    // middle of being written.
    void addText(std::string_view name, std::string_view text, bool writerHoldsIt = false);

    const std::vector<FileSummary>& files() const;

    // Merges repeated records into episodes and hands everything over; the
    // reader is empty afterwards.
    AuditData finish(const Progress& progress = {});

private:
    struct State;
    std::unique_ptr<State> state_;
};

// One episode as the analysis sees it (after merging). Risks are kept as
// written: four decimals, held as whole ten-thousandths.
struct Episode {
    static constexpr std::int32_t kNoDay = INT32_MIN;

    std::int32_t day = kNoDay; // dayNumber() of DATE, kNoDay when unreadable
    std::uint32_t file = 0;    // index into files()
    std::uint32_t line = 0;    // line of the winning record
    std::array<std::uint16_t, kStoredModelCount> riskTenThousandths{}; // stored, in Model order
    std::uint8_t physiologicalScore = 0;
    std::uint8_t operativeScore = 0;
    std::int8_t morbidity = -1; // 0, 1, or -1 when not exactly "0"/"1"
    std::int8_t mortality = -1;
    bool identityUnreliable = false; // a shifted line: never merged

    // A stored model's risk as written; a computed model's risk from the two
    // scores, not rounded.
    double risk(Model model) const;
    // The outcome a model is measured against: 0, 1 or -1.
    int outcome(Model model) const {
        return model == Model::PossumMorbidity ? morbidity : mortality;
    }
};

// Everything read, merged into episodes in file order. Immutable apart from
// re-reading the dates in another order.
class AuditData {
public:
    AuditData();
    ~AuditData();
    AuditData(AuditData&&) noexcept;
    AuditData& operator=(AuditData&&) noexcept;

    const std::vector<FileSummary>& files() const;
    std::uint64_t recordsRead() const;
    std::uint64_t mergedRecords() const; // records replaced by a later one
    std::uint64_t problemCount() const;  // over all files

    const std::vector<Episode>& episodes() const;
    // The DATE text of an episode as written (Windows-1252 bytes).
    std::string_view dateText(std::size_t episode) const;
    std::uint64_t unparseableDates() const;
    // The winning record's fields before MORBIDITY as the reader split them
    // (quotes undone, Windows-1252 bytes): 29, or more for a line read from
    // the right; none unless the reader kept them
    // (ReadOptions::keepLeadingFields) for an episode whose outcome is not
    // known.
    std::vector<std::string_view> leadingFields(std::size_t episode) const;
    // The MORBIDITY and MORTALITY texts of that record as written (at most
    // 255 bytes each, Windows-1252), kept with its leading fields: what a
    // new outcome would replace.
    std::array<std::string_view, 2> outcomeTexts(std::size_t episode) const;

    // Reads every DATE text again in another order (the episodes stay).
    void rereadDates(DateOrder order, int currentYear);

private:
    friend class AuditReader;
    struct State;
    std::unique_ptr<State> state_;
};

// ---------------------------------------------------------------- analysis

struct AnalysisOptions {
    // Inclusive date range of procedure; when either end is set, episodes
    // whose date cannot be read are left out (and counted).
    std::optional<Date> from;
    std::optional<Date> to;

    std::vector<Model> models{kAllModels.begin(), kAllModels.end()};

    // Risk-adjusted CUSUM: the odds ratio it looks for (> 0, not 1) and its
    // control limit. Without a limit one is computed per model for the
    // in-control average run length `targetArl` by simulating the model's own
    // risk mix (`simulationRuns` runs, generator seeded with `seed`: the same
    // data and options always give the same limit).
    double oddsRatio = 2.0;
    std::optional<double> limit;
    double targetArl = 10000;
    std::uint32_t simulationRuns = 2000;
    std::uint64_t seed = 20000101;

    // Per-episode paths for charts: 0 keeps none; otherwise every episode up
    // to this many, and beyond that at most this many points plus the
    // signals: each stretch of seriesStretch() episodes keeps the points of
    // its lowest and highest CUSUMs and VLAD, its last point and every signal
    // (the improvement CUSUM's too).
    std::size_t maxSeriesPoints = 0;
    bool rocCurve = true; // ROC points per model

    // What makes a unit on the funnel plot: for now each input file.
    enum class UnitGrouping { File };
    UnitGrouping units = UnitGrouping::File;

    // Completeness of the outcomes is measured only when today is given
    // (the engine reads no clock): an outcome is due once the procedure lies
    // at least `dueDays` days before today.
    std::optional<Date> today;
    int dueDays = 30;
};

struct Interval {
    double lower = 0;
    double upper = 0;
};

// Fewer than this many events expected makes an observed-to-expected figure
// unreliable.
inline constexpr double kReliableExpected = 5.0;

struct ObservedExpected {
    std::uint64_t n = 0;
    std::uint64_t observed = 0;
    double expected = 0;              // sum of the predicted risks
    std::optional<double> ratio;      // observed / expected; none when expected is 0
    std::optional<Interval> interval; // exact Poisson 95% limits on observed, over expected
    // The observed rate observed / n with Wilson's score 95% limits; none when n is 0.
    std::optional<Interval> rateInterval;
    bool unreliable = true; // expected < kReliableExpected
};

struct RiskBand {
    double from = 0; // band holds from < p <= to (the first also p = 0)
    double to = 0;
    ObservedExpected figures;
};

struct Discrimination {
    std::optional<double> auroc; // none when a class is empty
    std::optional<double> standardError;
    std::optional<Interval> interval; // DeLong, 95%, clipped to [0, 1]
    bool unreliable = true;           // a class with fewer than 5 episodes
};

struct HosmerLemeshowGroup {
    std::uint64_t n = 0;
    std::uint64_t observed = 0;
    double expected = 0;
    double lowestRisk = 0;
    double highestRisk = 0;
};

struct HosmerLemeshow {
    std::optional<double> chiSquare; // none when n < 10
    int degreesOfFreedom = 8;
    std::optional<double> pValue;
    std::array<HosmerLemeshowGroup, 10> groups{};
    bool unreliable = true; // some group expects fewer than 5 events
};

// The logistic recalibration logit(P) = a + b logit(p) (the recalibration
// intercept a and the calibration slope b), and calibration-in-the-large:
// alpha in logit(P) = alpha + logit(p), the slope fixed at 1 (Van Calster et
// al., J Clin Epidemiol 2016;74:167-176). p is clamped to [1e-6, 1 - 1e-6].
// A fit that cannot be identified has no figures and says why.
struct Calibration {
    std::optional<double> intercept; // the recalibration intercept
    std::optional<double> slope;
    std::optional<Interval> interceptInterval;  // Wald 95%
    std::optional<Interval> slopeInterval;      // Wald 95%
    std::string missing;                        // why there is no intercept and slope
    std::optional<double> inTheLarge;           // alpha
    std::optional<Interval> inTheLargeInterval; // Wald 95%
    std::string inTheLargeMissing;
    int iterations = 0;
};

// The flexible calibration curve: logistic regression of the outcome on a
// restricted cubic spline of logit(p), and how far it lies from the diagonal
// (Austin and Steyerberg, Stat Med 2019;38:4051-4065).
struct CalibrationCurvePoint {
    double p = 0;        // predicted risk
    double observed = 0; // the curve at p
    double lower = 0;    // pointwise 95% limits
    double upper = 0;
};
struct CalibrationCurve {
    static constexpr int kPoints = 50;
    std::vector<double> knots;                 // on the logit scale
    std::vector<CalibrationCurvePoint> points; // kPoints, equally spaced in logit(p)
    // Over the episodes, of |curve(p) - p|: the mean (integrated calibration
    // index), the median, the 90th percentile and the largest.
    std::optional<double> ici;
    std::optional<double> e50;
    std::optional<double> e90;
    std::optional<double> emax;
    std::string missing; // why there is no curve
};

// Fewer episodes than this in the smaller outcome class make the calibration
// figures imprecise (Van Calster et al. 2016 ask for at least 100 of each).
inline constexpr std::uint64_t kFewEvents = 100;

struct CusumSignal {
    std::uint64_t position = 0; // 1-based, among the model's counted episodes in time order
    std::size_t episode = 0;    // index into AuditData::episodes()
    std::string date;           // DATE text, UTF-8
};

struct Cusum {
    double oddsRatio = 2.0;
    std::optional<double> limit; // none when it could not be computed
    bool limitComputed = false;  // true when simulated for targetArl
    std::string limitMissing;    // why there is no limit, in words
    double targetArl = 0;
    std::uint32_t simulationRuns = 0; // runs the computed limit rests on
    double finalValue = 0;
    std::vector<CusumSignal> signals;
};

// One point of the paths over time, after the episode at `position`.
struct TimePoint {
    std::uint64_t position = 0; // 1-based
    std::int32_t day = Episode::kNoDay;
    double vlad = 0;  // cumulative expected minus observed
    double cusum = 0; // at a signal, the value that reached the limit; the
                      // next episode starts again from 0
    bool signal = false;
    // The improvement CUSUM, kept the same way (0 or above; charts draw it
    // below zero).
    double improvement = 0;
    bool improvementSignal = false;
};

// Point of the ROC curve at "p >= threshold counts as predicted".
struct RocPoint {
    double threshold = 0;
    double falsePositiveRate = 0;
    double truePositiveRate = 0;
};

// Predicted risks in 100 bins of 0.01 (the last holds 1.0), by outcome.
struct RiskHistogram {
    static constexpr std::size_t kBins = 100;
    std::array<std::uint64_t, kBins> withEvent{};
    std::array<std::uint64_t, kBins> withoutEvent{};
};

// How far the units spread beyond chance on a model's funnel plot:
// phi, the mean of the squared z-scores winsorised at the 10th and 90th
// percentiles, with at least kFewestUnitsForOverdispersion units.
inline constexpr std::size_t kFewestUnitsForOverdispersion = 10;
struct FunnelSummary {
    std::optional<double> phi;
    bool overdispersionApplied = false; // phi > 1: units are also judged on the widened limits
};

struct ModelResult {
    Model model = Model::PossumMorbidity;
    Outcome outcome = Outcome::Morbidity;
    std::uint64_t excludedUnknownOutcome = 0;
    std::uint64_t excludedNotScored = 0;
    ObservedExpected overall; // overall.n is the model's n
    std::array<RiskBand, 10> bands{};
    Discrimination discrimination;
    HosmerLemeshow hosmerLemeshow;
    Calibration calibration;
    CalibrationCurve calibrationCurve;
    std::optional<double> brier;
    // Fewer than kFewEvents events, or fewer than kFewEvents episodes without
    // one: every figure is then imprecise (validation studies want at least
    // 100 of each).
    bool fewEvents = true;
    double vlad = 0; // final value: expected minus observed
    Cusum cusum;     // looks for more events than predicted (odds ratio R)
    // Looks for fewer events than predicted: the same CUSUM with odds ratio
    // 1/R, its own limit (the one given, or simulated for the same in-control
    // run length) and its own signals.
    Cusum improvement;
    FunnelSummary funnel;
    // Counted episodes without a readable date: they come last in time
    // order, so a chart by date leaves them off.
    std::uint64_t undated = 0;
    std::vector<TimePoint> series; // see AnalysisOptions::maxSeriesPoints
    std::vector<RocPoint> roc;     // from (0,0) to (1,1)
    RiskHistogram histogram;
};

// The paired DeLong test of two models' AUROCs over the episodes both
// count (DeLong, DeLong and Clarke-Pearson, Biometrics 1988;44:837-845).
struct AurocComparison {
    Model first = Model::PossumMortality;
    Model second = Model::PossumMortality;
    std::uint64_t n = 0;
    std::optional<double> difference; // first - second
    std::optional<Interval> interval; // 95%
    std::optional<double> z;
    std::optional<double> p; // two-sided
    std::string missing;     // why there are no figures
};

// One unit's observed against expected deaths for a model, placed on the
// funnel plot of O:E against the expected count (Spiegelhalter, Stat Med
// 2005;24:1185-1202).
struct UnitFigures {
    Model model = Model::PossumMortality;
    std::uint64_t n = 0;
    std::uint64_t observed = 0;
    double expected = 0;
    std::optional<double> ratio;       // O:E; none when nothing is expected
    bool outside95 = false;            // outside the exact Poisson 95% limits
    bool outside998 = false;           // outside the 99.8% limits
    bool outsideOverdispersed = false; // outside 1 +/- 3.090 sqrt(phi / E), when applied
};

struct Unit {
    std::string name;                // UTF-8
    std::vector<UnitFigures> models; // in the order of AnalysisResult::models
};

// Below this share of due episodes with a known outcome, O:E and the other
// figures rest on a selection of the patients and are not to be trusted.
inline constexpr double kCompleteShare = 0.95;

// Episodes by what is known of one outcome. An episode whose date of
// procedure cannot be read counts as due: its outcome is wanted whatever its
// date.
struct CompletenessCounts {
    std::uint64_t knownDue = 0;      // outcome "0" or "1", procedure due
    std::uint64_t knownNotDue = 0;   // outcome known before it was due
    std::uint64_t unknownDue = 0;    // outcome wanted now
    std::uint64_t unknownNotDue = 0; // follow-up period not yet over
    std::uint64_t unknownNoDate = 0; // of unknownDue, those without a readable date

    std::uint64_t known() const { return knownDue + knownNotDue; }
    std::uint64_t due() const { return knownDue + unknownDue; }
    std::uint64_t total() const { return known() + unknownDue + unknownNotDue; }
    // Of the due episodes, the share with a known outcome; none when none is due.
    std::optional<double> knownShareOfDue() const;
};

struct MonthCompleteness {
    int year = 0;
    int month = 0; // 1..12
    CompletenessCounts counts;
};

struct OutcomeCompleteness {
    Outcome outcome = Outcome::Morbidity;
    CompletenessCounts overall;
    std::vector<MonthCompleteness> byMonth; // months with episodes, in order
    // Fewer than kCompleteShare of the due episodes have a known outcome.
    bool incomplete() const;
};

struct Completeness {
    Date today;
    int dueDays = 30;
    std::array<OutcomeCompleteness, 2> outcomes; // morbidity, mortality
};

struct AnalysisResult {
    bool cancelled = false;
    std::uint64_t episodes = 0;    // all episodes read
    std::uint64_t inDateRange = 0; // episodes the analysis looked at
    std::uint64_t outsideDateRange = 0;
    std::uint64_t undatedLeftOut = 0; // unreadable DATE while a range was set
    std::vector<ModelResult> models;  // in the order of AnalysisOptions::models
    // Every pair of analysed models of the same outcome, in model order.
    std::vector<AurocComparison> aurocComparisons;
    std::vector<Unit> units; // see AnalysisOptions::units
    // Over the episodes in the date range; none without AnalysisOptions::today.
    std::optional<Completeness> completeness;
};

AnalysisResult analyse(const AuditData& data, const AnalysisOptions& options,
                       const Progress& progress = {});

// Episodes per stretch of a thinned path (see maxSeriesPoints): episodes
// 1..stretch are the first stretch, and so on; 1 when nothing is thinned.
std::uint64_t seriesStretch(std::uint64_t episodes, std::size_t maxPoints);

// The predicted risks of one model's counted episodes in time order (for a
// histogram of another binning, or export).
std::vector<double> predictedRisks(const AuditData& data, const AnalysisOptions& options,
                                   Model model);

} // namespace caldrin::audit
