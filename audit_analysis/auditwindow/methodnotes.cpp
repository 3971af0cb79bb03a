// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/methodnotes.h"

#include "audit/auditanalysis.h"

#include <QString>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One note per model, from the model table: name, equation, what it
// predicts, for whom, whether read or computed, and its source.
QString modelNote(Model model) {
    const riskmodels::RiskModel& entry = modelEntry(model);
    const QString source =
        isStoredModel(model)
            ? QStringLiteral("read from the file's %1 column").arg(fromView(entry.storedColumn))
            : QStringLiteral("computed from PHYS_TOTAL and OP_TOTAL");
    return QStringLiteral("%1: %2, R the risk of %3; fitted to %4; %5. %6. doi:%7")
        .arg(fromView(entry.title), QString::fromStdString(riskmodels::equationText(entry)),
             fromView(entry.outcome), fromView(entry.population), source, fromView(entry.citation),
             fromView(entry.doi));
}

} // namespace

QStringList methodNotes() {
    QStringList notes = {
        QStringLiteral(
            "Observed (O) is the number of episodes with the outcome; expected (E) is the sum of "
            "the predicted risks (linear analysis). O:E is their ratio, with exact Poisson 95% "
            "limits on O (Garwood 1936) divided by E. A row whose interval leaves out 1 says in "
            "words that there were more or fewer events than expected. Figures resting on fewer "
            "than 5 expected events are marked unreliable."),
        QStringLiteral("Risk bands hold predicted risks from above 0% to 10%, above 10% to 20%, "
                       "and so on; the first band also holds a risk of 0."),
        QStringLiteral(
            "AUROC is the probability that an episode with the outcome had a higher predicted "
            "risk than one without, ties counting one half; its 95% interval comes from DeLong's "
            "variance (DeLong et al. 1988)."),
        QStringLiteral(
            "HL p is the p value of the Hosmer-Lemeshow statistic over ten groups of equal size "
            "with 8 degrees of freedom (Hosmer and Lemeshow 1980). It is a legacy test whose "
            "verdict depends on the number of episodes: a large audit finds trivial misfit, a "
            "small one misses large misfit, and it says nothing of the direction of a misfit. "
            "Current guidance advises against relying on it (Van Calster et al. 2019); read the "
            "calibration curve and the figures below instead."),
        QStringLiteral(
            "Calibration-in-the-large is alpha in logit(P) = alpha + logit(p): a logistic "
            "regression of the outcome with the logit of the predicted risk as an offset, its "
            "slope fixed at 1, with a Wald 95% interval (Van Calster et al. 2016). It is 0 when "
            "as many events occur as the model predicts, above 0 when more occur, below 0 when "
            "fewer, on the log-odds scale; read it with O:E."),
        QStringLiteral(
            "The recalibration intercept a and the calibration slope b come from the logistic "
            "regression logit(P) = a + b logit(p) (Cox 1958), each with a Wald 95% interval. A "
            "slope of 1 is ideal; below 1 the predictions are too extreme (too high for the "
            "highest risks and too low for the lowest), above 1 too modest. The recalibration "
            "intercept belongs with its slope and is not calibration-in-the-large. Predicted "
            "risks are clamped to 0.000001 and 0.999999. A fit the data cannot identify (every "
            "episode at the same risk, one outcome only, outcomes separated completely by the "
            "risk, no convergence) gives no figure and says why."),
        QStringLiteral(
            "The flexible calibration curve is a logistic regression of the outcome on a "
            "restricted cubic spline of the logit of the predicted risk, with knots at the 5th, "
            "35th, 65th and 95th percentiles (three knots at the 10th, 50th and 90th when those "
            "are not distinct), drawn at 50 risks from the smallest to the largest with a "
            "pointwise 95% band (Van Calster et al. 2016). Where the curve runs above the "
            "diagonal, more events occurred than predicted at that risk; the band says how sure "
            "that is, and is wide where few patients are (see the predicted risks beneath it). "
            "ICI, the integrated calibration index, is the mean over the episodes of the "
            "distance between the curve and the diagonal, in risk; E50 and E90 are its median "
            "and 90th percentile and Emax its largest value (Austin and Steyerberg 2019). An "
            "ICI of 0.01 means the predictions are off by one percentage point on average, "
            "weighted by where the patients are; Emax can come from a few patients at extreme "
            "risk."),
        QStringLiteral(
            "The calibration chart shows each risk band's observed rate, its events over its "
            "episodes, against its mean predicted risk, with Wilson's score 95% interval for a "
            "proportion (Wilson 1927; Newcombe 1998), which stays within 0 and 1."),
        QStringLiteral(
            "Too few events: with fewer than 100 episodes with the outcome, or fewer than 100 "
            "without it, every calibration figure is imprecise, and the report says so beside "
            "the figures (Van Calster et al. 2016, 2019)."),
        QStringLiteral(
            "The Brier score is the mean squared difference between predicted risk and outcome "
            "(Brier 1950)."),
        QStringLiteral(
            "Models compared: for every two models of the same outcome, the paired DeLong test "
            "(DeLong et al. 1988) compares their AUROCs over the episodes both count: the "
            "difference (first minus second) with its 95% interval, z and the two-sided p value. "
            "The pairing matters, because two models scored on the same patients are "
            "correlated. An interval that leaves out 0 means one model ranks these patients "
            "better; two models that rank every pair of episodes alike have no difference to "
            "test, and the report says so, as it does when one model separates the episodes "
            "with and without the outcome completely (AUROC 1) and the difference has no "
            "variance."),
        QStringLiteral(
            "Units on a funnel plot: each input file is a unit. Its O:E is plotted against its "
            "expected count E, with the target line at 1 and exact Poisson limits within which "
            "95% and 99.8% of units would lie by chance if every unit matched the model "
            "(Spiegelhalter 2005): for tail probability P, r is the smallest count whose "
            "Poisson distribution function at mean E reaches P, and the limit is (r - a)/E with "
            "a interpolating between r - 1 and r. With 10 units or more, phi is the mean of the "
            "units' squared z-scores, (O - E)/sqrt(E) winsorised at their 10th and 90th "
            "percentiles; above 1 the units spread more than chance allows, and each is also "
            "judged against 1 +/- 3.090 sqrt(phi/E). In a meeting: a unit outside the 99.8% "
            "limits is unlikely to differ by chance alone and its notes deserve review; one "
            "between the 95% and 99.8% limits deserves a look; a small unit's wide limits show "
            "why units are not ranked in a league table."),
        QStringLiteral(
            "The VLAD plots, in date order, the cumulative expected minus observed events: it "
            "rises when fewer events happen than predicted (Lovegrove et al. 1997)."),
        QStringLiteral(
            "The risk-adjusted CUSUM adds each episode's log-likelihood ratio for the odds of the "
            "outcome being multiplied by the chosen odds ratio, never falling below 0; on "
            "reaching the control limit it signals and starts again from 0 (Steiner et al. "
            "2000). Unless given, the limit is found by simulating the file's own risk mix for "
            "the chosen in-control average run length."),
        QStringLiteral("Models: PS is the Physiological score, OS the Operative severity score. "
                       "The RAAA-POSSUM equations were fitted to repairs of ruptured abdominal "
                       "aortic aneurysms and are not for elective vascular patients. An episode "
                       "whose PHYS_TOTAL or OP_TOTAL is 0 is left out of every model."),
    };
    for (const Model model : kAllModels)
        notes << modelNote(model);
    return notes;
}

QStringList methodReferences() {
    return {
        QStringLiteral("Brier GW. Verification of forecasts expressed in terms of probability. "
                       "Monthly Weather Review 1950;78:1-3."),
        QStringLiteral("Austin PC, Steyerberg EW. The Integrated Calibration Index (ICI) and "
                       "related metrics for quantifying the calibration of logistic regression "
                       "models. Stat Med 2019;38:4051-4065. doi:10.1002/sim.8281"),
        QStringLiteral("Collins GS, Reitsma JB, Altman DG, Moons KGM. Transparent reporting of a "
                       "multivariable prediction model for individual prognosis or diagnosis "
                       "(TRIPOD): the TRIPOD statement. Ann Intern Med 2015;162:55-63."),
        QStringLiteral("Cox DR. Two further applications of a model for binary regression. "
                       "Biometrika 1958;45:562-565."),
        QStringLiteral("DeLong ER, DeLong DM, Clarke-Pearson DL. Comparing the areas under two or "
                       "more correlated receiver operating characteristic curves: a "
                       "nonparametric approach. Biometrics 1988;44:837-845."),
        QStringLiteral("Garwood F. Fiducial limits for the Poisson distribution. Biometrika "
                       "1936;28:437-442."),
        QStringLiteral("Hosmer DW, Lemeshow S. Goodness of fit tests for the multiple logistic "
                       "regression model. Communications in Statistics - Theory and Methods "
                       "1980;9:1043-1069."),
        QStringLiteral("Lovegrove J, Valencia O, Treasure T, Sherlaw-Johnson C, Gallivan S. "
                       "Monitoring the results of cardiac surgery by variable life-adjusted "
                       "display. Lancet 1997;350:1128-1130."),
        QStringLiteral("Newcombe RG. Two-sided confidence intervals for the single proportion: "
                       "comparison of seven methods. Stat Med 1998;17:857-872."),
        QStringLiteral("Spiegelhalter DJ. Funnel plots for comparing institutional performance. "
                       "Stat Med 2005;24:1185-1202. doi:10.1002/sim.1970"),
        QStringLiteral("Steiner SH, Cook RJ, Farewell VT, Treasure T. Monitoring surgical "
                       "performance using risk-adjusted cumulative sum charts. Biostatistics "
                       "2000;1:441-452."),
        QStringLiteral("Van Calster B, Nieboer D, Vergouwe Y, De Cock B, Pencina MJ, Steyerberg "
                       "EW. A calibration hierarchy for risk models was defined: from utopia to "
                       "empirical data. J Clin Epidemiol 2016;74:167-176. "
                       "doi:10.1016/j.jclinepi.2015.12.005"),
        QStringLiteral("Van Calster B, McLernon DJ, van Smeden M, Wynants L, Steyerberg EW. "
                       "Calibration: the Achilles heel of predictive analytics. BMC Med "
                       "2019;17:230. doi:10.1186/s12916-019-1466-7"),
        QStringLiteral("Wilson EB. Probable inference, the law of succession, and statistical "
                       "inference. J Am Stat Assoc 1927;22:209-212."),
    };
}

} // namespace caldrin::auditwindow
