"""Times our LOWESS, its literal full-sort form and statsmodels' lowess on the
same data in one run, and prints the table with the ratios."""
import subprocess
import sys
import tempfile
import time

import numpy as np
from statsmodels.nonparametric.smoothers_lowess import lowess as sm_lowess

SIZES = [1000, 10000, 50000]
FACTORS = [0.1, 0.3, 1.0]
ITERATIONS = 3
LITERAL_MAX_N = 10000


def run(tool, *args):
    out = subprocess.run([tool, *map(str, args)], check=True, capture_output=True, text=True).stdout
    return float(out.split()[0]) if out else None


def time_statsmodels(path, factor):
    data = np.loadtxt(path)
    x, y = data[:, 0], data[:, 1]
    repeats = 3 if len(x) <= 10000 else 1
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        sm_lowess(y, x, frac=factor, it=ITERATIONS - 1, delta=0.0, return_sorted=False)
        best = min(best, time.perf_counter() - start)
    return best


def main():
    tool = sys.argv[1]
    header = f"{'n':>6} {'factor':>6} {'ours s':>9} {'serial s':>9} {'literal s':>10} {'statsm. s':>10} " \
             f"{'sm/ours':>8} {'sm/serial':>9} {'lit/ours':>9} {'lit/serial':>10}"
    print(f"LOWESS, {ITERATIONS} passes (statsmodels it={ITERATIONS - 1}, delta=0); best of 3 where cheap")
    print(header)
    with tempfile.TemporaryDirectory() as folder:
        for n in SIZES:
            path = f"{folder}/stage_{n}.txt"
            run(tool, "data", n, path)
            for factor in FACTORS:
                ours = run(tool, "time", path, factor, ITERATIONS, "fast")
                serial = run(tool, "time", path, factor, ITERATIONS, "serial")
                literal = run(tool, "time", path, factor, ITERATIONS, "literal") if n <= LITERAL_MAX_N else None
                sm = time_statsmodels(path, factor)
                lit = f"{literal:10.4f}" if literal else f"{'-':>10}"
                lit_ratio = f"{literal / ours:9.1f}" if literal else f"{'-':>9}"
                lit_serial = f"{literal / serial:10.1f}" if literal else f"{'-':>10}"
                print(f"{n:>6} {factor:>6} {ours:9.4f} {serial:9.4f} {lit} {sm:10.4f} "
                      f"{sm / ours:8.1f} {sm / serial:9.1f} {lit_ratio} {lit_serial}", flush=True)
    print("target at n=10000, factor 0.3: sm/ours >= 2 and lit/ours >= 100")


if __name__ == "__main__":
    main()
