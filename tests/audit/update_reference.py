#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The model update's three fits by statsmodels, for update_reference_test.

Reads a CSV of y, L (the model's clamped logit), PS and OS, one episode per
line, and prints "<fit> <figure> <value>" lines: the coefficients, the
covariance and the log-likelihood of recalibration-in-the-large (a binomial
GLM with L as offset), logistic recalibration (Logit on L) and revision
(Logit on PS and OS).
"""
import sys

import numpy as np
import statsmodels.api as sm

data = np.loadtxt(sys.argv[1], delimiter=",", ndmin=2)
y, logit, ps, os_ = data[:, 0], data[:, 1], data[:, 2], data[:, 3]
ones = np.ones_like(y)

fits = {
    "in_the_large": sm.GLM(y, ones[:, None], family=sm.families.Binomial(),
                           offset=logit).fit(tol=1e-12),
    "recalibration": sm.Logit(y, np.column_stack([ones, logit])).fit(disp=0, tol=1e-12),
    "revision": sm.Logit(y, np.column_stack([ones, ps, os_])).fit(disp=0, tol=1e-12),
}
for name, fit in fits.items():
    params = np.asarray(fit.params)
    cov = np.asarray(fit.cov_params())
    for i, value in enumerate(params):
        print(f"{name} coef{i} {value:.17g}")
    for i in range(len(params)):
        for j in range(len(params)):
            print(f"{name} cov{i}{j} {cov[i, j]:.17g}")
    print(f"{name} llf {fit.llf:.17g}")
original = float(np.sum(y * logit - np.logaddexp(0, logit)))
print(f"original llf {original:.17g}")
