"""Independent reference for the Markov-chain run length of the risk-adjusted
CUSUM, written straight from the chain's definition with NumPy.

Usage: runlength_reference.py ODDS_RATIO LIMIT STATES RISK:COUNT...
Prints the in-control average run length from 0.

[0, h) is cut into M states of width d. The CUSUM is taken as spread evenly
over its state; an episode of risk p moves it by its weight w (log(R / (1 - p
+ R p)) with the outcome, -log(1 - p + R p) without), so from state i it lies
evenly in [i d + w, (i + 1) d + w). The share of that interval inside state j
is the chance of moving to j; what lies below 0 lands at 0 (state 0) and what
lies at or above h signals. The run length solves (I - Q) x = 1.
"""
import math
import sys

import numpy as np


def transition_matrix(odds_ratio, limit, states, mix):
    width = limit / states
    total = sum(count for _, count in mix)
    q = np.zeros((states, states))
    for risk, count in mix:
        denominator = 1 - risk + odds_ratio * risk
        moves = ((math.log(odds_ratio / denominator), risk),
                 (-math.log(denominator), 1 - risk))
        for weight, chance in moves:
            chance *= count / total
            for i in range(states):
                low, high = i * width + weight, (i + 1) * width + weight
                for j in range(states):
                    # State 0 takes everything below 0 as well.
                    start = -math.inf if j == 0 else j * width
                    end = (j + 1) * width
                    inside = max(0.0, min(high, end) - max(low, start))
                    q[i, j] += chance * inside / width
    return q


def main():
    odds_ratio, limit, states = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
    mix = [tuple(float(v) for v in item.split(":")) for item in sys.argv[4:]]
    q = transition_matrix(odds_ratio, limit, states, mix)
    x = np.linalg.solve(np.eye(states) - q, np.ones(states))
    print(repr(x[0]))


if __name__ == "__main__":
    main()
