"""The audit figures of caldrin-audit --limit H, computed with pandas
read_csv, NumPy, SciPy and scikit-learn, timed from reading the file to the
last figure (imports excluded).

Computes, for the eight models (five read from the file, three worked out
from PHYS_TOTAL and OP_TOTAL): the episode merge (identity and date, last
record wins, empty identities never merged), time order by date, the model's
counted episodes, n / observed / expected / O:E with exact Poisson limits,
the ten risk bands, AUROC (sklearn roc_auc_score) with DeLong's standard
error (midranks), Hosmer-Lemeshow (stable sort, ten rank groups, chi-square
tail), calibration intercept and slope (sklearn LogisticRegression without
penalty on logit(p)), Brier score (sklearn brier_score_loss), VLAD, and the
risk-adjusted CUSUM with its signals (a Python loop: it cannot be vectorised,
so it is timed on its own and reported apart).

Usage: pandas_reference.py FILE LIMIT
Prints: read SECONDS, figures SECONDS, cusum SECONDS.
"""
import sys
import time

import numpy as np
import pandas as pd
import scipy.stats as st
from sklearn.linear_model import LogisticRegression
from sklearn.metrics import brier_score_loss, roc_auc_score

MODELS = [("possum_morbidity", "P_MORB", "MORBIDITY"),
          ("possum_mortality", "P_MORT", "MORTALITY"),
          ("p_possum_mortality", "P-P_MORT", "MORTALITY"),
          ("raaa_possum_mortality", "V_MORT", "MORTALITY"),
          ("raaa_possum_physiological_mortality", "VP_MORT", "MORTALITY"),
          ("v_possum_2001_mortality", (-8.0616, 0.1552, 0.1238), "MORTALITY"),
          ("v_possum_2001_physiological_mortality", (-6.0386, 0.1539, 0.0), "MORTALITY"),
          ("p_possum_1998_mortality", (-9.065, 0.1692, 0.1550), "MORTALITY")]


def predicted(rows, risk):
    if isinstance(risk, str):
        return rows[risk].to_numpy(dtype=float)
    a, b, c = risk
    y = a + b * rows["PHYS_TOTAL"].to_numpy(dtype=float) + c * rows["OP_TOTAL"].to_numpy(dtype=float)
    return 1.0 / (1.0 + np.exp(-y))


def delong_se(p, y):
    pos, neg = p[y == 1], p[y == 0]
    m, n = len(pos), len(neg)
    tx, ty = st.rankdata(pos), st.rankdata(neg)
    tz = st.rankdata(np.concatenate([pos, neg]))
    v01 = (tz[:m] - tx) / n
    v10 = 1 - (tz[m:] - ty) / m
    return np.sqrt(v01.var(ddof=1) / m + v10.var(ddof=1) / n)


def main():
    path, limit = sys.argv[1], float(sys.argv[2])
    start = time.perf_counter()
    text = {"NAME": str, "ID": str, "DOB": str, "DATE": str, "MORBIDITY": str, "MORTALITY": str}
    frame = pd.read_csv(path, encoding="cp1252", dtype=text, keep_default_na=False)
    read_done = time.perf_counter()

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

    results = {}
    counted_by_model = {}
    for name, risk, outcome_column in MODELS:
        outcome = episodes[outcome_column].str.strip(" ")
        known = outcome.isin(["0", "1"])
        counted = known & scored
        p = predicted(episodes.loc[counted], risk)
        y = (outcome[counted] == "1").to_numpy(dtype=int)
        counted_by_model[name] = (p, y)
        o, e = int(y.sum()), float(p.sum())
        r = {"n": len(p), "observed": o, "expected": e, "oe": o / e,
             "oe_ci": (st.chi2.ppf(0.025, 2 * o) / 2 / e if o else 0.0,
                       st.chi2.ppf(0.975, 2 * o + 2) / 2 / e)}
        band = np.where(p == 0, 0, np.ceil(p * 10 - 1e-9) - 1).astype(int)
        r["bands"] = [(int((band == k).sum()), int(y[band == k].sum()), float(p[band == k].sum()))
                      for k in range(10)]
        r["auroc"] = roc_auc_score(y, p)
        r["auroc_se"] = delong_se(p, y)
        ranked = np.argsort(p, kind="stable")
        group = (10 * np.arange(len(p))) // len(p)
        ng = np.bincount(group, minlength=10)
        og = np.bincount(group, weights=y[ranked], minlength=10)
        eg = np.bincount(group, weights=p[ranked], minlength=10)
        use = (eg > 0) & (eg < ng)
        chi = float(np.sum((og[use] - eg[use]) ** 2 / (eg[use] * (1 - eg[use] / ng[use]))))
        r["hl"] = (chi, st.chi2.sf(chi, 8))
        x = np.clip(p, 1e-6, 1 - 1e-6)
        x = np.log(x / (1 - x)).reshape(-1, 1)
        fit = LogisticRegression(penalty=None, tol=1e-10, max_iter=200).fit(x, y)
        r["calibration"] = (fit.intercept_[0], fit.coef_[0][0])
        r["brier"] = brier_score_loss(y, p)
        r["vlad"] = float(np.sum(p - y))
        results[name] = r
    figures_done = time.perf_counter()

    for name, (p, y) in counted_by_model.items():
        w = np.where(y == 1, np.log(2.0 / (1 - p + 2.0 * p)), np.log(1.0 / (1 - p + 2.0 * p)))
        s, signals = 0.0, []
        for i, wi in enumerate(w.tolist()):
            s = s + wi
            if s < 0:
                s = 0.0
            if s >= limit:
                signals.append(i + 1)
                s = 0.0
        results[name]["signals"] = len(signals)
    cusum_done = time.perf_counter()

    print("read %.3f" % (read_done - start))
    print("figures %.3f" % (figures_done - read_done))
    print("cusum %.3f" % (cusum_done - figures_done))
    for name, r in results.items():
        print(name, r["n"], r["observed"], "%.4f" % r["expected"], "%.6f" % r["oe"],
              "%.6f" % r["auroc"], "%.6f" % r["calibration"][1], r["signals"], file=sys.stderr)


main()
