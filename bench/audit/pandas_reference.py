"""The figures of `caldrin-audit --limit H --format json FILE...`, computed the
way an analyst would with pandas, NumPy, SciPy, statsmodels and scikit-learn,
timed from reading the files to the last figure (imports excluded).

For the eight models (five read from the files, three worked out from
PHYS_TOTAL and OP_TOTAL), over the same episodes as the engine:
- the episode merge (identity and date, last record wins across files, empty
  identities never merged), time order by date (stable), each model's counted
  episodes (outcome "0"/"1", both scores entered);
- completeness of follow-up per outcome, overall and by month (due 30 days
  after the procedure, today from the clock, as the command line does);
- n / observed / expected / O:E with exact Poisson limits (chi-square), the
  ten risk bands, the Brier score (sklearn brier_score_loss);
- AUROC (sklearn roc_auc_score) with DeLong's standard error from midranks;
  the paired DeLong test of every pair of models of the same outcome (the
  placements' covariances, Sun and Xu 2014);
- Hosmer-Lemeshow (stable sort, ten rank groups, chi-square tail);
- the recalibration intercept and slope with Wald 95% intervals
  (statsmodels Logit on logit(p)); calibration-in-the-large with its Wald
  interval (statsmodels GLM, binomial, logit(p) as offset); few events;
- the flexible calibration curve: statsmodels Logit on the restricted cubic
  spline of logit(p) (knots at the 5/35/65/95th percentiles, else 10/50/90),
  50 points with pointwise 95% limits, ICI, E50, E90, Emax;
- VLAD, and the two risk-adjusted CUSUMs (odds ratio R and 1/R, the given
  limit, no simulation) with every signal and its date. The CUSUM restarts
  at 0 after a signal, so it is not one vectorised expression: it is worked
  out in blocks, each block vectorised as the Lindley recursion
  S_i = C_i - min(-S_0, min_{j<=i} C_j) over the block's cumulative sums C,
  up to the block's first signal; much faster than a Python loop over the
  episodes, so the comparison is on the reference's side;
- per unit (each input file) and model: n, observed, expected, O:E, outside
  the exact Poisson 95% and 99.8% funnel limits (SciPy's Poisson functions,
  interpolated), and with 10 units or more phi from winsorised z-scores and
  the widened limits.

What the engine computes and this does not: the ROC curve's points and the
risk histogram (kept for the window, not written to the JSON), the per-line
reading checks and problem reports. Both are small next to the rest.

Usage: pandas_reference.py LIMIT FILE... [--check ENGINE_JSON]
Prints "read SECONDS" and "figures SECONDS" (the stages' times on standard
error). With --check, also compares its figures with the engine's JSON
output and prints the largest relative difference of each kind of figure.
"""
import datetime
import json
import sys
import time

import numpy as np
import pandas as pd
import scipy.stats as st
import statsmodels.api as sm
from sklearn.metrics import brier_score_loss, roc_auc_score

MODELS = [("possum_morbidity", "P_MORB", "MORBIDITY"),
          ("possum_mortality", "P_MORT", "MORTALITY"),
          ("p_possum_mortality", "P-P_MORT", "MORTALITY"),
          ("raaa_possum_mortality", "V_MORT", "MORTALITY"),
          ("raaa_possum_physiological_mortality", "VP_MORT", "MORTALITY"),
          ("v_possum_2001_mortality", (-8.0616, 0.1552, 0.1238), "MORTALITY"),
          ("v_possum_2001_physiological_mortality", (-6.0386, 0.1539, 0.0), "MORTALITY"),
          ("p_possum_1998_mortality", (-9.065, 0.1692, 0.1550), "MORTALITY")]
ODDS_RATIO = 2.0
DUE_DAYS = 30
Z975 = st.norm.ppf(0.975)


def expit(v):
    return 1 / (1 + np.exp(-v))


def predicted(rows, risk):
    if isinstance(risk, str):
        return rows[risk].to_numpy(dtype=float)
    a, b, c = risk
    y = a + b * rows["PHYS_TOTAL"].to_numpy(dtype=float) + c * rows["OP_TOTAL"].to_numpy(dtype=float)
    return 1.0 / (1.0 + np.exp(-y))


def delong(p, y):
    """AUROC placements through midranks (Sun and Xu, IEEE SPL 2014): for each
    event the share of non-events below it, for each non-event the share of
    events above it (ties half); and DeLong's standard error."""
    pos, neg = p[y == 1], p[y == 0]
    m, n = len(pos), len(neg)
    tx, ty = st.rankdata(pos), st.rankdata(neg)
    tz = st.rankdata(np.concatenate([pos, neg]))
    v10 = (tz[:m] - tx) / n
    v01 = 1 - (tz[m:] - ty) / m
    return v10, v01, np.sqrt(v10.var(ddof=1) / m + v01.var(ddof=1) / n)


def rcs_basis(x, knots):
    """Restricted cubic spline columns: x, then one per knot but the last two,
    scaled by the squared distance between the outer knots."""
    k, t = len(knots), knots
    cube = lambda v: np.where(v > 0, v, 0.0) ** 3
    columns = [x]
    for j in range(k - 2):
        columns.append((cube(x - t[j])
                        - cube(x - t[k - 2]) * (t[k - 1] - t[j]) / (t[k - 1] - t[k - 2])
                        + cube(x - t[k - 1]) * (t[k - 2] - t[j]) / (t[k - 1] - t[k - 2]))
                       / (t[k - 1] - t[0]) ** 2)
    return np.column_stack(columns)


def calibration(p, y):
    x = np.log(np.clip(p, 1e-6, 1 - 1e-6) / (1 - np.clip(p, 1e-6, 1 - 1e-6)))
    fit = sm.Logit(y, sm.add_constant(x)).fit(disp=0)
    large = sm.GLM(y, np.ones((len(y), 1)), family=sm.families.Binomial(), offset=x).fit()
    r = {"intercept": fit.params[0], "slope": fit.params[1],
         "intercept_ci": tuple(fit.conf_int()[0]), "slope_ci": tuple(fit.conf_int()[1]),
         "in_the_large": large.params[0], "in_the_large_ci": tuple(large.conf_int()[0])}

    knots = np.percentile(x, [5, 35, 65, 95])
    if len(np.unique(knots)) < 4:
        knots = np.percentile(x, [10, 50, 90])
    curve = {"knots": knots}
    spline = sm.Logit(y, sm.add_constant(rcs_basis(x, knots))).fit(disp=0)
    grid = np.linspace(x.min(), x.max(), 50)
    design = sm.add_constant(rcs_basis(grid, knots), has_constant="add")
    eta = design @ spline.params
    se = np.sqrt(np.einsum("ij,jk,ik->i", design, spline.cov_params(), design))
    curve["points"] = (expit(grid), expit(eta), expit(eta - Z975 * se), expit(eta + Z975 * se))
    distance = np.abs(spline.predict() - p)
    curve.update(ici=distance.mean(), e50=np.median(distance),
                 e90=np.percentile(distance, 90), emax=distance.max())
    return r, curve


def cusum_signals(p, y, odds_ratio, limit):
    """Positions (0-based) where the risk-adjusted CUSUM reaches the limit."""
    w = np.where(y == 1, np.log(odds_ratio), 0.0) - np.log(1 - p + odds_ratio * p)
    signals = []
    start, s0, block = 0, 0.0, 256
    while start < len(w):
        c = np.cumsum(w[start:start + block])
        s = c - np.minimum(-s0, np.minimum.accumulate(c))
        hit = np.flatnonzero(s >= limit)
        if len(hit):
            signals.append(start + hit[0])
            start, s0 = start + hit[0] + 1, 0.0
            block = max(16, block // 2)
        else:
            start, s0 = start + len(c), s[-1]
            block = min(1 << 16, block * 2)
    return np.array(signals, dtype=np.int64), s0


def funnel_limit(e, prob):
    r = st.poisson.ppf(prob, e)
    f_r, f_below = st.poisson.cdf(r, e), st.poisson.cdf(r - 1, e)
    return np.maximum(0.0, (r - (f_r - prob) / (f_r - f_below)) / e)


def funnel(unit, p, y, units):
    n = np.bincount(unit, minlength=units)
    o = np.bincount(unit, weights=y, minlength=units)
    e = np.bincount(unit, weights=p, minlength=units)
    placed = e > 0
    ratio = np.where(placed, o / np.where(placed, e, 1), np.nan)
    ep = np.where(placed, e, 1)
    outside95 = placed & ((ratio < funnel_limit(ep, 0.025)) | (ratio > funnel_limit(ep, 0.975)))
    outside998 = placed & ((ratio < funnel_limit(ep, 0.001)) | (ratio > funnel_limit(ep, 0.999)))
    phi, widened = None, np.zeros(units, dtype=bool)
    if placed.sum() >= 10:
        z = (o[placed] - e[placed]) / np.sqrt(e[placed])
        low, high = np.percentile(z, [10, 90])
        phi = float(np.mean(np.clip(z, low, high) ** 2))
        if phi > 1:
            widened = placed & (np.abs(ratio - 1) > st.norm.ppf(0.999) * np.sqrt(phi / ep))
    return {"n": n, "observed": o, "expected": e, "oe": ratio, "outside_95": outside95,
            "outside_998": outside998, "outside_overdispersed": widened, "phi": phi}


def completeness(episodes, day, today):
    """Episodes by outcome known or not and due or not (an undated one is
    due), overall and by month of the procedure."""
    due = (day.isna() | ((pd.Timestamp(today) - day).dt.days >= DUE_DAYS)).to_numpy()
    month = (day.dt.year * 100 + day.dt.month).to_numpy()
    kinds = ["unknown_not_yet_due", "unknown_due", "known_not_yet_due", "known_due"]
    result = {}
    for column in ("MORBIDITY", "MORTALITY"):
        known = episodes[column].str.strip(" ").isin(["0", "1"]).to_numpy()
        kind = 2 * known + due
        overall = dict(zip(kinds, np.bincount(kind, minlength=4)))
        by_month = pd.DataFrame({"month": month, "kind": kind}).dropna() \
            .groupby(["month", "kind"]).size().unstack(fill_value=0) \
            .rename(columns=dict(enumerate(kinds)))
        by_month.index = ["%04d-%02d" % (m // 100, m % 100) for m in by_month.index.astype(int)]
        result[column.lower()] = (overall, by_month)
    return result


def main():
    args = sys.argv[1:]
    check = None
    if "--check" in args:
        at = args.index("--check")
        check = args[at + 1]
        del args[at:at + 2]
    limit, paths = float(args[0]), args[1:]
    stages = []

    def stage(name):
        stages.append((name, time.perf_counter()))

    stage("start")
    text = {"NAME": str, "ID": str, "DOB": str, "DATE": str, "MORBIDITY": str, "MORTALITY": str}
    frame = pd.concat([pd.read_csv(path, encoding="cp1252", dtype=text, keep_default_na=False)
                       .assign(unit=u) for u, path in enumerate(paths)], ignore_index=True)
    stage("read")

    hashed = frame["NAME"].str.len() == 32
    empty = (frame["NAME"] == "") & (frame["ID"] == "") & (frame["DOB"] == "")
    key = np.where(hashed, "#" + frame["NAME"],
                   "=" + frame["NAME"] + "\0" + frame["ID"] + "\0" + frame["DOB"])
    key = pd.Series(key) + "\0" + frame["DATE"]
    keep = ~key.duplicated(keep="last") | empty
    episodes = frame[keep.values]
    day = pd.to_datetime(episodes["DATE"], format="%d/%m/%Y", errors="coerce")
    episodes = episodes.assign(day=day).sort_values("day", kind="stable", na_position="last")
    scored = (episodes["PHYS_TOTAL"] != 0) & (episodes["OP_TOTAL"] != 0)
    stage("merge and time order")
    follow_up = completeness(episodes, episodes["day"], datetime.date.today())
    stage("completeness")

    results = {}
    placements = {}
    counted_by_outcome = {}
    for column in ("MORBIDITY", "MORTALITY"):
        outcome = episodes[column].str.strip(" ")
        counted = outcome.isin(["0", "1"]) & scored
        needed = ["P_MORB", "P_MORT", "P-P_MORT", "V_MORT", "VP_MORT", "PHYS_TOTAL", "OP_TOTAL",
                  "DATE", "unit"]
        counted_by_outcome[column] = (episodes.loc[counted, needed],
                                      (outcome[counted] == "1").to_numpy(dtype=int))
    for name, risk, outcome_column in MODELS:
        rows, y = counted_by_outcome[outcome_column]
        p = predicted(rows, risk)
        o, e = int(y.sum()), float(p.sum())
        r = {"n": len(p), "observed": o, "expected": e, "oe": o / e,
             "oe_ci": (st.chi2.ppf(0.025, 2 * o) / 2 / e if o else 0.0,
                       st.chi2.ppf(0.975, 2 * o + 2) / 2 / e)}
        band = np.where(p == 0, 0, np.ceil(p * 10 - 1e-9) - 1).astype(int)
        r["bands"] = [(int((band == k).sum()), int(y[band == k].sum()), float(p[band == k].sum()))
                      for k in range(10)]
        r["auroc"] = roc_auc_score(y, p)
        v10, v01, r["auroc_se"] = delong(p, y)
        placements.setdefault(outcome_column, []).append((name, r["auroc"], v10, v01))
        ranked = np.argsort(p, kind="stable")
        group = (10 * np.arange(len(p))) // len(p)
        ng = np.bincount(group, minlength=10)
        og = np.bincount(group, weights=y[ranked], minlength=10)
        eg = np.bincount(group, weights=p[ranked], minlength=10)
        use = (eg > 0) & (eg < ng)
        chi = float(np.sum((og[use] - eg[use]) ** 2 / (eg[use] * (1 - eg[use] / ng[use]))))
        r["hl"] = (chi, st.chi2.sf(chi, 8))
        r["calibration"], r["curve"] = calibration(p, y)
        r["few_events"] = min(o, len(p) - o) < 100
        r["brier"] = brier_score_loss(y, p)
        r["vlad"] = float(np.sum(p - y))
        dates = rows["DATE"].to_numpy()
        for kind, odds_ratio in (("cusum", ODDS_RATIO), ("improvement", 1 / ODDS_RATIO)):
            signals, final = cusum_signals(p, y, odds_ratio, limit)
            r[kind] = {"signals": signals + 1, "dates": dates[signals], "final": final}
        r["units"] = funnel(rows["unit"].to_numpy(), p, y, len(paths))
        results[name] = r
    stage("figures per model")

    comparisons = {}
    for models in placements.values():
        m, n = len(models[0][2]), len(models[0][3])
        s10 = np.cov(np.vstack([v10 for _, _, v10, _ in models]))
        s01 = np.cov(np.vstack([v01 for _, _, _, v01 in models]))
        for a in range(len(models)):
            for b in range(a + 1, len(models)):
                variance = (s10[a, a] + s10[b, b] - 2 * s10[a, b]) / m + \
                    (s01[a, a] + s01[b, b] - 2 * s01[a, b]) / n
                difference = models[a][1] - models[b][1]
                se = np.sqrt(max(variance, 0.0))
                if se > 1e-12 * abs(difference) and variance > 1e-300:
                    z = difference / se
                    ci, p = (difference - Z975 * se, difference + Z975 * se), 2 * st.norm.sf(abs(z))
                else:  # the two rank every pair alike: nothing to test
                    z = ci = p = None
                comparisons[(models[a][0], models[b][0])] = {
                    "n": m + n, "difference": difference, "difference_ci": ci, "z": z, "p": p}
    stage("paired DeLong")

    print("read %.3f" % (stages[1][1] - stages[0][1]))
    print("figures %.3f" % (stages[-1][1] - stages[1][1]))
    for (_, before), (name, at) in zip(stages, stages[1:]):
        print("%-22s %.3f s" % (name, at - before), file=sys.stderr)
    if check:
        compare(json.load(open(check)), results, comparisons, follow_up)


def compare(engine, results, comparisons, follow_up):
    """The largest relative difference between the engine's figures and ours,
    by kind of figure; counts and signal lists must agree exactly."""
    worst = {}
    exact = []

    def near(kind, ours, theirs):
        if theirs is None:
            exact.append("%s: the engine has none, we have %r" % (kind, ours))
            return
        difference = abs(float(ours) - float(theirs)) / max(1e-12, abs(float(theirs)))
        worst[kind] = max(worst.get(kind, 0.0), difference)

    def same(kind, ours, theirs):
        if list(np.atleast_1d(ours)) != list(np.atleast_1d(theirs)):
            exact.append("%s differs" % kind)

    for m in engine["models"]:
        r = results[m["model"]]
        for key in ("n", "observed"):
            same(key, r[key], m[key])
        for key in ("expected", "oe", "auroc", "brier", "vlad"):
            near(key, r[key], m[key])
        near("oe_ci", r["oe_ci"][0], m["oe_ci"][0])
        near("oe_ci", r["oe_ci"][1], m["oe_ci"][1])
        half = (m["auroc_ci"][1] - m["auroc_ci"][0]) / 2
        near("auroc_se", r["auroc_se"], half / Z975)
        for k, band in enumerate(m["bands"]):
            same("band n", r["bands"][k][0], band["n"])
            same("band observed", r["bands"][k][1], band["observed"])
            near("band expected", r["bands"][k][2], band["expected"])
        near("hl chi2", r["hl"][0], m["hosmer_lemeshow"]["chi2"])
        near("hl p", r["hl"][1], m["hosmer_lemeshow"]["p"])
        c = m["calibration"]
        for key in ("intercept", "slope", "in_the_large"):
            near(key, r["calibration"][key], c[key])
            near(key + "_ci", r["calibration"][key + "_ci"][0], c[key + "_ci"][0])
            near(key + "_ci", r["calibration"][key + "_ci"][1], c[key + "_ci"][1])
        same("few_events", r["few_events"], m["few_events"])
        curve = m["calibration_curve"]
        for ours, theirs in zip(r["curve"]["knots"], curve["knots"]):
            near("knots", ours, theirs)
        for i, point in enumerate(curve["points"]):
            for j, key in enumerate(("p", "observed", "lower", "upper")):
                near("curve " + key, r["curve"]["points"][j][i], point[key])
        for key in ("ici", "e50", "e90", "emax"):
            near(key, r["curve"][key], curve[key])
        for kind, theirs in (("cusum", m["cusum"]), ("improvement", m["cusum"]["improvement"])):
            same(kind + " signals", r[kind]["signals"], [s["episode"] for s in theirs["signals"]])
            same(kind + " dates", r[kind]["dates"], [s["date"] for s in theirs["signals"]])
        if m["funnel"]["phi"] is not None or r["units"]["phi"] is not None:
            near("phi", r["units"]["phi"], m["funnel"]["phi"])
    for u, unit in enumerate(engine["units"]):
        for m in unit["models"]:
            ours = results[m["model"]]["units"]
            same("unit n", ours["n"][u], m["n"])
            same("unit observed", ours["observed"][u], m["observed"])
            near("unit expected", ours["expected"][u], m["expected"])
            for key in ("outside_95", "outside_998", "outside_overdispersed"):
                same("unit " + key, bool(ours[key][u]), m[key])
    for c in engine["auroc_comparisons"]:
        ours = comparisons[tuple(c["models"])]
        same("comparison n", ours["n"], c["n"])
        near("comparison difference", ours["difference"], c["difference"])
        if ours["z"] is None or c["z"] is None:
            same("comparison without a test", ours["z"] is None, c["z"] is None)
            continue
        for key in ("z", "p"):
            near("comparison " + key, ours[key], c[key])
        near("comparison ci", ours["difference_ci"][0], c["difference_ci"][0])
        near("comparison ci", ours["difference_ci"][1], c["difference_ci"][1])
    if engine["completeness"]["today"] == datetime.date.today().isoformat():
        for outcome, (overall, by_month) in follow_up.items():
            theirs = engine["completeness"][outcome]
            for kind in ("known_due", "known_not_yet_due", "unknown_due", "unknown_not_yet_due"):
                same(outcome + " " + kind, int(overall[kind]), theirs[kind])
                same(outcome + " by month " + kind,
                     [int(by_month[kind].get(month["month"], 0)) if kind in by_month else 0
                      for month in theirs["by_month"]],
                     [month[kind] for month in theirs["by_month"]])
    print("check: counts, flags and signals %s" % ("agree" if not exact else "DIFFER"))
    for line in exact:
        print("  " + line)
    for kind, difference in sorted(worst.items()):
        print("  %-28s largest relative difference %.1e" % (kind, difference))


main()
