#!/usr/bin/env python3
"""Figures of the physical bending model (docs/physics.md) from dor-sim runs,
in the Python standard library only: prints the measurements and writes SVG
plots beside the document.

  physics_plots.py DOR_SIM ASSETS_DIR OUT_DIR

Runs: a cantilever of n = 4 .. 64 segments (static tip deflection and first
frequency against beam theory), a release test of every model in ASSETS_DIR
(first frequency and damping ratio of the stem top, mean stem-top
displacement at 10 m/s), the default model scaled x0.5 and x2, and the stem
top of the default model at 15, 30, 60, 120 and 240 frames/s for both
models, and twelve probes of it in 20 s of gusty wind at those five rates
against the 60 frames/s run. Tree files are in metres; the scratch files go to OUT_DIR/scratch,
which is removed at the end.
"""
import math
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wind_plots"))
from wind_plots import svg_plot  # noqa: E402  (the one SVG plotter of the tools)

DEFAULT = "prunus_cerasifera_nigra_reduced32.tre"
MODELS = ["prunus_cerasifera_nigra_reduced32.tre", "prunus_cerasifera_nigra_mesh.tre", "picea_abies.tre",
          "populus_nigra_italica.tre", "salix_babylonica.tre"]
E, RHO = 6e9, 800.0  # the defaults of youngModulus (Pa) and woodDensity (kg/m^3)


def read_tre(path):
    """Elements in file order: kind, length, diameter, direction, attach,
    parent number, matrix index, origin and tip in model space (P added)."""
    elements, stack, offset = [], [], [0.0, 0.0, 0.0]
    with open(path) as f:
        for line in f:
            w = line.split()
            if not w:
                continue
            if w[0] == "P":
                offset = [float(v) for v in w[1:4]]
            if w[0] not in ("S", "L"):
                continue
            seg = w[0] == "S"
            if seg:
                length, diameter = float(w[1]), float(w[2])
                d, attach, children, index = [float(v) for v in w[3:6]], float(w[6]), int(w[7]), int(w[8])
            else:
                length, diameter = 1.0, 0.0
                d, attach, children, index = [float(v) for v in w[1:4]], float(w[4]), 0, int(w[5])
            n = math.sqrt(sum(v * v for v in d)) or 1.0
            d = [v / n for v in d]
            parent = stack[-1][0] if stack else -1
            if parent >= 0:
                p = elements[parent]
                h = p["length"] * attach
                origin = [p["origin"][k] + p["dir"][k] * h for k in range(3)]
            else:
                origin = list(offset)
            e = {"seg": seg, "length": length, "diameter": diameter, "dir": d, "parent": parent,
                 "index": index, "origin": origin, "tip": [origin[k] + d[k] * length for k in range(3)]}
            elements.append(e)
            if stack:
                stack[-1][1] -= 1
            while stack and stack[-1][1] == 0:
                stack.pop()
            if seg and children > 0:
                stack.append([len(elements) - 1, children])
    return elements


def stem_top(elements):
    """The segment whose tip is highest: the stem top."""
    return max((e for e in elements if e["seg"]), key=lambda e: e["tip"][2])


def dbh_and_height(elements):
    """The stem's diameter at 1.3 m (the segment of the trunk's chain that
    spans it, each segment's thickest child at its end continuing it) and
    the height of the highest segment tip, m."""
    e, base = elements[0], elements[0]["origin"][2]
    children = {}
    for k, x in enumerate(elements):
        children.setdefault(x["parent"], []).append(k)
    while e["tip"][2] - base < 1.3:
        nxt = [elements[k] for k in children.get(elements.index(e), []) if elements[k]["seg"]]
        if not nxt:
            break
        e = max(nxt, key=lambda x: x["diameter"])
    return e["diameter"], stem_top(elements)["tip"][2] - base


def sim(dor_sim, path, args):
    out = subprocess.run([dor_sim, path] + args, check=True, capture_output=True, text=True).stdout
    lines = out.strip().split("\n")
    rows = [[float(v) for v in line.split(",")] for line in lines[1:]]
    return [list(c) for c in zip(*rows)]


def dominant_frequency(t, x, fmax=6.0):
    """The frequency of the largest Fourier amplitude of x(t) (mean removed),
    scanned every 0.002 Hz from 0.05 Hz to fmax."""
    m = sum(x) / len(x)
    best, fbest = -1.0, 0.0
    f = 0.05
    while f <= fmax:
        w = 2 * math.pi * f
        c = sum((xi - m) * math.cos(w * ti) for ti, xi in zip(t, x))
        s = sum((xi - m) * math.sin(w * ti) for ti, xi in zip(t, x))
        if c * c + s * s > best:
            best, fbest = c * c + s * s, f
        f += 0.002
    return fbest


def damping_ratio(t, x, f):
    """From the decay of the peaks of |x| over the first cycles: the
    logarithmic decrement per cycle delta, zeta = delta / sqrt(4 pi^2 + delta^2)."""
    peaks = [(t[i], abs(x[i])) for i in range(1, len(x) - 1) if abs(x[i]) >= abs(x[i - 1]) and abs(x[i]) > abs(x[i + 1])]
    peaks = [p for p in peaks if p[1] > 0.02 * peaks[0][1]][:8] if peaks else []
    if len(peaks) < 3:
        return float("nan")
    # Least squares of ln|x| against time: slope = -zeta omega.
    n = len(peaks)
    mt = sum(p[0] for p in peaks) / n
    ml = sum(math.log(p[1]) for p in peaks) / n
    slope = sum((p[0] - mt) * (math.log(p[1]) - ml) for p in peaks) / sum((p[0] - mt) ** 2 for p in peaks)
    return -slope / (2 * math.pi * f)


def release(dor_sim, path, probe, wind=4.0, hold=10.0, after=20.0):
    """Wind for `hold` seconds, then none: the stem top's along-wind
    displacement from its final rest, after the release."""
    cols = sim(dor_sim, path, ["--model", "physical", "--seconds", str(hold + after), "--fps", "60",
                               "--set", "windVelocity=%g" % wind, "--at", "%g:windVelocity=0" % hold,
                               "--probe", str(probe)])
    t, x = cols[0], cols[1]
    rest = x[-1]
    sel = [(ti - hold, xi - rest) for ti, xi in zip(t, x) if ti > hold]
    return [p[0] for p in sel], [p[1] for p in sel]


def scaled(path, factor, out):
    """The tree with every segment's length and diameter times factor."""
    with open(path) as f, open(out, "w") as o:
        for line in f:
            w = line.split()
            if w and w[0] == "S":
                w[1] = repr(float(w[1]) * factor)
                w[2] = repr(float(w[2]) * factor)
                line = " ".join(w) + "\n"
            o.write(line)
    return out


def cantilever(n, out, L=2.0, D=0.02):
    with open(out, "w") as o:
        o.write("P 0 0 0\n")
        for i in range(1, n + 1):
            o.write("S %r %r 0 0 1 1 %d %d\n" % (L / n, D, 1 if i < n else 0, i))
        o.write("V 0 0 0 1\nN 0 0 1\nT 0 0\nF 0 0 0 0\n")
    return out


def main(dor_sim, assets, out_dir):
    scratch = os.path.join(out_dir, "scratch")
    os.makedirs(scratch, exist_ok=True)
    print("## Cantilever, L = 2 m, D = 0.02 m, wind 3 m/s")
    L, D, U = 2.0, 0.02, 3.0
    EI = E * math.pi * D ** 4 / 64
    mu = RHO * math.pi * D * D / 4
    w = 0.5 * 1.2 * 1.2 * D * U * U
    exact_d = w * L ** 4 / (8 * EI)
    exact_f = 1.875 ** 2 / (2 * math.pi) * math.sqrt(EI / (mu * L ** 4))
    defl, freq, damp = [], [], []
    for n in (4, 8, 16, 32, 64):
        path = cantilever(n, os.path.join(scratch, "cantilever_%d.tre" % n))
        cols = sim(dor_sim, path, ["--model", "physical", "--seconds", "8", "--fps", "60",
                                   "--set", "windVelocity=3", "--set", "structuralDamping=0.5", "--probe", str(n)])
        d = cols[1][-1] / exact_d
        # Release at 4 s, no air and no structural damping after it, 2000 Hz steps.
        cols = sim(dor_sim, path, ["--model", "physical", "--seconds", "7", "--fps", "1000",
                                   "--set", "windVelocity=3", "--set", "structuralDamping=0.5",
                                   "--set", "physicsRate=2000", "--at", "4:airDensity=0",
                                   "--at", "4:structuralDamping=0", "--probe", str(n)])
        t = [ti for ti in cols[0] if ti > 4.0]
        x = cols[1][len(cols[0]) - len(t):]
        f = dominant_frequency(t, x, 20.0) / exact_f
        # The same release with structuralDamping 0.1: the first mode's
        # damping ratio, which should not depend on n.
        cols = sim(dor_sim, path, ["--model", "physical", "--seconds", "7", "--fps", "1000",
                                   "--set", "windVelocity=3", "--set", "structuralDamping=0.5",
                                   "--set", "physicsRate=2000", "--at", "4:airDensity=0",
                                   "--at", "4:structuralDamping=0.1", "--probe", str(n)])
        x = cols[1][len(cols[0]) - len(t):]
        z = damping_ratio(t, x, f * exact_f)
        defl.append((n, d))
        freq.append((n, f))
        damp.append((n, z / 0.1))
        print("n = %2d: deflection / wL^4/(8EI) = %.4f, first frequency / beam theory = %.4f, "
              "first-mode damping ratio at structuralDamping 0.1 = %.4f" % (n, d, f, z))
    svg_plot(os.path.join(out_dir, "physics_cantilever.svg"),
             [(defl, "#1f5fbf", "static tip deflection / (w L^4 / 8 E I)", False),
              (freq, "#d04020", "first frequency / (1.875^2 / 2 pi) sqrt(E I / mu L^4)", False),
              (damp, "#2a9d3a", "first-mode damping ratio / structuralDamping (0.1)", False),
              ([(4, 1.0), (64, 1.0)], "#888", "beam theory", True)],
             "segments n", "ratio", True, False,
             "Cantilever cut into n segments (physical model)")

    print("\n## Models at the defaults (release after 10 s of 4 m/s wind)")
    points, table = [], []
    for name in MODELS + ["x0.5", "x2"]:
        if name.startswith("x"):
            factor = float(name[1:])
            path = scaled(os.path.join(assets, DEFAULT), factor, os.path.join(scratch, "default_%s.tre" % name))
            label = "%s %s" % (DEFAULT, name)
        else:
            path, label = os.path.join(assets, name), name
        el = read_tre(path)
        top = stem_top(el)
        dbh, H = dbh_and_height(el)
        t, x = release(dor_sim, path, top["index"])
        f = dominant_frequency(t, x)
        z = damping_ratio(t, x, f)
        cols = sim(dor_sim, path, ["--model", "physical", "--seconds", "20", "--fps", "30",
                                   "--set", "windVelocity=10", "--probe", str(top["index"])])
        k0 = len(cols[0]) // 2
        disp = [math.sqrt(sum((cols[1 + k][i] - top["tip"][k]) ** 2 for k in range(3))) for i in range(k0, len(cols[0]))]
        mean_disp = sum(disp) / len(disp) / H
        table.append((label, dbh, H, f, z, mean_disp))
        points.append((name, dbh / H ** 2, f))
        print("%-45s DBH %.3f m  H %.2f m  DBH/H^2 %.5f  f %.3f Hz  zeta %.3f  mean top displacement at 10 m/s %.2f %% of H"
              % (label, dbh, H, dbh / H ** 2, f, z, 100 * mean_disp))
        if name == DEFAULT:
            svg_plot(os.path.join(out_dir, "physics_release.svg"),
                     [([(ti, xi) for ti, xi in zip(t, x) if ti <= 10], "#1f5fbf",
                       "stem top, along the wind, from its rest (m)", False)],
                     "time after the release (s)", "displacement (m)",
                     title="Release of %s after 10 s at 4 m/s" % DEFAULT)
    fx = {n: f for n, _, f in points}
    expo = math.log(fx["x2"] / fx["x0.5"]) / math.log(4.0)
    print("frequency against scale: exponent %.3f (x0.5 %.3f Hz, x1 %.3f Hz, x2 %.3f Hz)" % (expo, fx["x0.5"], fx[DEFAULT], fx["x2"]))
    xs = [p[1] for p in points]
    stem = [(v, 0.5596 * math.sqrt(E / RHO) / 4 * v) for v in (min(xs) * 0.8, max(xs) * 1.2)]
    lo, hi = min(xs) * 0.8, max(xs) * 1.2
    series = [(stem, "#888", "bare uniform stem, beam theory: f = 0.56 (DBH/4) sqrt(E/rho) / H^2", True),
              ([(lo, 0.2), (hi, 0.2)], "#bbb", "0.2 and 3 Hz: the plausible range", True),
              ([(lo, 3.0), (hi, 3.0)], "#bbb", "", True)]
    colours = ["#1f5fbf", "#d04020", "#2a9d3a", "#8a4fbf", "#bf7f1f", "#555", "#000"]
    for k, (name, v, f) in enumerate(points):
        diamond = [(v / 1.04, f), (v, f * 1.04), (v * 1.04, f), (v, f / 1.04), (v / 1.04, f)]
        series.append((diamond, colours[k % len(colours)], "%s: %.2f Hz" % (name, f), False))
    svg_plot(os.path.join(out_dir, "physics_frequency_dbh.svg"), series, "DBH / H^2 (1/m)", "first frequency (Hz)",
             True, True, "First frequency of the committed models (physical model, defaults)")

    print("\n## Frame rates: stem top of the default model, 4 m/s for 5 s, then calm")
    path = os.path.join(assets, DEFAULT)
    top = stem_top(read_tre(path))
    for model in ("classic", "physical"):
        series = []
        for k, fps in enumerate((15, 30, 60, 120, 240)):
            cols = sim(dor_sim, path, ["--model", model, "--seconds", "10", "--fps", str(fps),
                                       "--at", "5:windVelocity=0", "--probe", str(top["index"])])
            series.append(([(ti, xi - top["tip"][0]) for ti, xi in zip(cols[0], cols[1])], colours[k],
                           "%d frames/s" % fps, k % 2 == 1))
            print("%-8s %3d frames/s: largest along-wind displacement %.3f m" % (model, fps, max(abs(p[1]) for p in series[-1][0])))
        svg_plot(os.path.join(out_dir, "physics_frame_rates_%s.svg" % model), series, "time (s)",
                 "stem top along the wind (m)", title="%s model at five frame rates" % model)

    # The same 20 s of gusty, turbulent wind shown at five frame rates: every
    # 1/15 s is a frame time of all five, so every probe is compared there
    # with the 60 frames/s run.
    elements = read_tre(path)
    height = dbh_and_height(elements)[1]
    probes = ["top", "deepest"] + [str(1 + k * (len(elements) - 1) // 9) for k in range(10)]
    probe_args = [a for w in probes for a in ("--probe", w)]
    print("\n## Frame rates: 20 s of --wind gusty, %d probes (%s), against 60 frames/s" % (len(probes), " ".join(probes)))
    for model in ("physical", "classic"):
        runs = {}
        for fps in (15, 30, 60, 120, 240):
            cols = sim(dor_sim, path, ["--model", model, "--wind", "gusty", "--seconds", "20",
                                       "--fps", str(fps)] + probe_args)
            step = fps // 15
            runs[fps] = [[c[k] for c in cols[1:]] for k in range(step - 1, len(cols[0]), step)]
        reference = runs[60]
        moved = [max(math.dist(row[3 * j:3 * j + 3], reference[0][3 * j:3 * j + 3]) for row in reference)
                 for j in range(len(probes))]
        print("%s: probe movement at 60 frames/s (m): %s" % (model, " ".join("%.3f" % m for m in moved)))
        for fps in (15, 30, 120, 240):
            worst = max(math.dist(a[3 * j:3 * j + 3], b[3 * j:3 * j + 3])
                        for a, b in zip(runs[fps], reference) for j in range(len(probes)))
            print("%s %3d frames/s: %d common times, largest probe difference %.3g m = %.3g %% of H (%.2f m)"
                  % (model, fps, len(reference), worst, 100 * worst / height, height))
    shutil.rmtree(scratch)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
