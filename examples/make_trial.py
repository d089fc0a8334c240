#!/usr/bin/env python3
"""Writes the sample job TRIAL.EMA: five seasons of a wheat trial series at
30 locations of central and northern New South Wales.

Each location has a fixed place in a two-dimensional environment space (its
zone centre plus its own offset) that drifts a little from season to season;
a season's proximity between two retained locations is their distance there,
in the units of a standardised SED. Every season drops a few locations, so
the matrices differ in size and the elimination vector flags the locations
retained (1) and dropped (0).

Run from this folder: python3 make_trial.py  (the output is fixed by the seed).
"""
import math
import random

SEED = 1988
SEASONS = [88, 89, 90, 91, 92]
MAXG = 24

# name, zone
LOCATIONS = [
    ("WAGGA", 0), ("TEMORA", 0), ("COWRA", 1), ("PARKES", 1), ("FORBES", 1),
    ("GRIFFITH", 2), ("LEETON", 2), ("NARRABRI", 3), ("MOREE", 3), ("GUNNEDAH", 3),
    ("TAMWORTH", 3), ("DUBBO", 1), ("NYNGAN", 4), ("WALGETT", 4), ("CONDOBLN", 4),
    ("YOUNG", 0), ("JUNEE", 0), ("LOCKHART", 2), ("HAY", 2), ("DENILQN", 2),
    ("FINLEY", 2), ("COROWA", 0), ("WELLINGT", 1), ("MUDGEE", 1), ("GILGNDRA", 4),
    ("QUIRINDI", 3), ("BOGGABRI", 3), ("GOONDIWI", 3), ("WEETHALE", 4), ("ARIAH", 4),
]
ZONES = [(2.0, 2.5), (5.5, 3.0), (1.5, 6.5), (8.0, 7.5), (5.0, 9.0)]


def e16_8(value):
    """A real in 16 columns as 0.dddddddd with a two-digit exponent."""
    if value == 0.0:
        return "  0.00000000E+00"
    mantissa, exponent = "{:.7e}".format(abs(value)).split("e")
    text = "0." + mantissa.replace(".", "") + "E" + "{:+03d}".format(int(exponent) + 1)
    return ("-" + text if value < 0 else text).rjust(16)


def matrix_rows(names, lower):
    """Rows of the lower triangle with the diagonal: number, name, then the
    values from column 17, ten to a record."""
    records = []
    for i, name in enumerate(names, start=1):
        values = lower[i - 1] + [0.0]
        for start in range(0, i, 10):
            head = "{:6d} {:<8s} ".format(i, name) if start == 0 else " " * 16
            records.append(head + "".join(e16_8(v) for v in values[start:start + 10]))
    return records


def main():
    rng = random.Random(SEED)
    home = []
    for _, zone in LOCATIONS:
        cx, cy = ZONES[zone]
        home.append((cx + rng.gauss(0.0, 0.8), cy + rng.gauss(0.0, 0.8)))

    maxl = len(LOCATIONS)
    records = ["{} {} {} {} {}".format(len(SEASONS), maxl, MAXG, SEASONS[0], SEASONS[-1]),
               "Wheat yield trials, central and northern NSW",
               "     U     S     C     N"]
    for season in SEASONS:
        dropped = set(rng.sample(range(maxl), rng.randint(4, 14)))
        kept = [k for k in range(maxl) if k not in dropped]
        place = {k: (home[k][0] + rng.gauss(0.0, 0.35), home[k][1] + rng.gauss(0.0, 0.35))
                 for k in kept}
        lower = []
        for a, k in enumerate(kept):
            row = []
            for m in kept[:a]:
                (x1, y1), (x2, y2) = place[k], place[m]
                row.append(round(math.hypot(x1 - x2, y1 - y2), 4))
            lower.append(row)
        elim = ["0" if k in dropped else "1" for k in range(maxl)]
        records.append("{:6d}    {}".format(season, "19{:02d}".format(season)))
        records.append(str(len(kept)))
        records.append(" ".join(elim[:15]))
        records.append(" ".join(elim[15:]))
        records += matrix_rows([LOCATIONS[k][0] for k in kept], lower)

    with open("TRIAL.EMA", "w", newline="\n") as out:
        out.write("\n".join(records) + "\n")


if __name__ == "__main__":
    main()
