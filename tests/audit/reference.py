"""Independent reference for the audit analysis: the same figures from the
same file, computed with the Python csv module, NumPy, SciPy and statsmodels.

Usage: reference.py FILE LIMIT ODDS_RATIO [TODAY DUE_DAYS]
Prints one "model figure value" line per figure ("nan" where undefined); with
TODAY (YYYY-MM-DD) and DUE_DAYS also the completeness of each outcome, overall
and by month ("completeness_mortality 2023-04_unknown_due 12").
Handles files of well-formed records (the generator's), day-month-year dates.
"""
import csv
import datetime
import math
import sys

import numpy as np
import scipy.stats as st
import statsmodels.api as sm

MODELS = [  # key, risk column or published equation, outcome column
    ("possum_morbidity", "P_MORB", "MORBIDITY"),
    ("possum_mortality", "P_MORT", "MORTALITY"),
    ("p_possum_mortality", "P-P_MORT", "MORTALITY"),
    ("raaa_possum_mortality", "V_MORT", "MORTALITY"),
    ("raaa_possum_physiological_mortality", "VP_MORT", "MORTALITY"),
    # Computed from PHYS_TOTAL and OP_TOTAL: (intercept, PS, OS) as published
    # for arterial surgery (Eur J Vasc Endovasc Surg 2001;21:477-483) and in
    # the 1998 Portsmouth refit (Br J Surg 1998;85:1217-1220).
    ("v_possum_2001_mortality", (-8.0616, 0.1552, 0.1238), "MORTALITY"),
    ("v_possum_2001_physiological_mortality", (-6.0386, 0.1539, 0.0), "MORTALITY"),
    ("p_possum_1998_mortality", (-9.065, 0.1692, 0.1550), "MORTALITY"),
]


def predicted(r, risk):
    if isinstance(risk, str):
        return float(r[risk])
    a, b, c = risk
    y = a + b * int(r["PHYS_TOTAL"]) + c * int(r["OP_TOTAL"])
    return 1.0 / (1.0 + math.exp(-y))


def read_episodes(path):
    with open(path, newline="", encoding="cp1252") as f:
        rows = [r for r in csv.DictReader(f)]
    winners = {}
    order = []
    for position, r in enumerate(rows):
        name, ident, dob = r["NAME"], r["ID"], r["DOB"]
        if name == "" and ident == "" and dob == "":
            order.append(position)
            continue
        key = ("#", name, r["DATE"]) if len(name) == 32 else ("=", name, ident, dob, r["DATE"])
        winners[key] = position
    kept = set(winners.values()) | set(order)
    episodes = [rows[i] for i in sorted(kept)]
    merged = len(rows) - len(episodes)

    def day(text):
        d, m, y = (int(x) for x in text.split("/"))
        return (y, m, d)

    # Stable sort by date; all generated dates are readable.
    episodes.sort(key=lambda r: day(r["DATE"]))
    return episodes, merged


def delong(p, y):
    """DeLong's AUROC and standard error through midranks (Sun and Xu, 2014)."""
    pos, neg = p[y == 1], p[y == 0]
    m, n = len(pos), len(neg)
    tx = st.rankdata(pos)
    ty = st.rankdata(neg)
    tz = st.rankdata(np.concatenate([pos, neg]))
    auc = (tz[:m].sum() - m * (m + 1) / 2) / (m * n)
    v01 = (tz[:m] - tx) / n
    v10 = 1 - (tz[m:] - ty) / m
    s = v01.var(ddof=1) / m + v10.var(ddof=1) / n
    return auc, math.sqrt(s)


def main():
    path, limit, odds_ratio = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    episodes, merged = read_episodes(path)
    print("all merged", merged)
    print("all episodes", len(episodes))
    for key, risk, outcome_column in MODELS:
        p, y = [], []
        for r in episodes:
            outcome = r[outcome_column].strip(" ")
            if outcome not in ("0", "1"):
                continue
            if int(r["PHYS_TOTAL"]) == 0 or int(r["OP_TOTAL"]) == 0:
                continue
            p.append(predicted(r, risk))
            y.append(int(outcome))
        p, y = np.array(p), np.array(y)
        n, o, e = len(p), int(y.sum()), float(p.sum())

        def out(name, value):
            print(key, name, repr(float(value)))

        out("n", n)
        out("observed", o)
        out("expected", e)
        out("oe", o / e)
        out("oe_lower", st.chi2.ppf(0.025, 2 * o) / 2 / e if o > 0 else 0.0)
        out("oe_upper", st.chi2.ppf(0.975, 2 * o + 2) / 2 / e)
        for k in range(10):
            in_band = (p > k / 10) & (p <= (k + 1) / 10)
            if k == 0:
                in_band |= p == 0
            out("band%d_n" % k, in_band.sum())
            out("band%d_observed" % k, y[in_band].sum())
            out("band%d_expected" % k, p[in_band].sum())
        u = st.mannwhitneyu(p[y == 1], p[y == 0]).statistic
        out("auroc_mann_whitney", u / ((y == 1).sum() * (y == 0).sum()))
        auc, se = delong(p, y)
        out("auroc", auc)
        out("auroc_se", se)
        # Hosmer-Lemeshow: stable sort by risk, ten groups by rank.
        ranked = np.argsort(p, kind="stable")
        group = (10 * np.arange(n)) // n
        chi = 0.0
        for g in range(10):
            members = ranked[group == g]
            ng, og, eg = len(members), y[members].sum(), p[members].sum()
            if 0 < eg < ng:
                chi += (og - eg) ** 2 / (eg * (1 - eg / ng))
        out("hl_chi2", chi)
        out("hl_p", st.chi2.sf(chi, 8))
        x = np.log(np.clip(p, 1e-6, 1 - 1e-6) / (1 - np.clip(p, 1e-6, 1 - 1e-6)))
        fit = sm.Logit(y, sm.add_constant(x)).fit(disp=0, tol=1e-12, maxiter=100)
        out("intercept", fit.params[0])
        out("slope", fit.params[1])
        low, high = fit.conf_int(0.05).T
        out("intercept_lower", low[0])
        out("intercept_upper", high[0])
        out("slope_lower", low[1])
        out("slope_upper", high[1])
        # Calibration-in-the-large: intercept only, logit(p) as an offset.
        citl = sm.GLM(y, np.ones((n, 1)), family=sm.families.Binomial(), offset=x).fit(
            tol=1e-12, maxiter=100)
        out("in_the_large", citl.params[0])
        citl_low, citl_high = citl.conf_int(0.05)[0]
        out("in_the_large_lower", citl_low)
        out("in_the_large_upper", citl_high)
        out("few_events", 1.0 if min(o, n - o) < 100 else 0.0)
        out("brier", np.mean((p - y) ** 2))
        out("vlad", np.sum(p - y))
        s, signals = 0.0, []
        for i in range(n):
            w = math.log((odds_ratio if y[i] else 1.0) / (1 - p[i] + odds_ratio * p[i]))
            s = max(0.0, s + w)
            if s >= limit:
                signals.append(i + 1)
                s = 0.0
        out("signals", len(signals))
        out("first_signal", signals[0] if signals else 0)
        out("last_signal", signals[-1] if signals else 0)

    if len(sys.argv) > 5:
        completeness(episodes, datetime.date.fromisoformat(sys.argv[4]), int(sys.argv[5]))


def completeness(episodes, today, due_days):
    """Known or not, due or not (at least DUE_DAYS days after the procedure),
    per outcome, overall and per calendar month of the procedure."""
    for column in ("MORBIDITY", "MORTALITY"):
        counts = {}
        for r in episodes:
            d, m, y = (int(x) for x in r["DATE"].split("/"))
            due = (today - datetime.date(y, m, d)).days >= due_days
            known = r[column].strip(" ") in ("0", "1")
            kind = ("known" if known else "unknown") + ("_due" if due else "_not_yet_due")
            for scope in ("all", "%04d-%02d" % (y, m)):
                counts[(scope, kind)] = counts.get((scope, kind), 0) + 1
        for (scope, kind), value in sorted(counts.items()):
            name = kind if scope == "all" else scope + "_" + kind
            print("completeness_" + column.lower(), name, value)


main()
