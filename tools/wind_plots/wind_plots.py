#!/usr/bin/env python3
"""Wind-field figures from dor-sim CSV (--wind-probe columns), in the Python
standard library only: prints the statistics that docs/wind.md records and
writes SVG plots of a spectrum and of time series.

  wind_plots.py stats TURBULENCE.csv SPEED SCALE INTENSITY
      probes 0..3 at (0,0,2), (0,0.25,2), (0,15,2), (10,0,2) with the wind
      along +x: mean speed, standard deviations, 1/e time, spectrum slope,
      correlations across the wind, downwind lag, divergence not included
      (see the wind tests)
  wind_plots.py gusts GUSTS.csv SPEED STRENGTH INTERVAL MEAN_ENVELOPE
      gusts counted at probe 0, the front's lag to probe 1 (20 m downwind)
  wind_plots.py spectrum TURBULENCE.csv SPEED SCALE OUT.svg
  wind_plots.py series CSV FROM TO OUT.svg COLUMN...
"""
import cmath
import math
import sys


def read_csv(path):
    with open(path) as f:
        header = f.readline().strip().split(",")
        rows = [[float(v) for v in line.split(",")] for line in f if line.strip()]
    return header, [list(c) for c in zip(*rows)]


def column(path, name):
    header, cols = read_csv(path)
    return cols[0], cols[header.index(name)]


def mean(x):
    return sum(x) / len(x)


def std(x):
    m = mean(x)
    return math.sqrt(sum((v - m) ** 2 for v in x) / len(x))


def lagged(a, b, lag, ma, mb, sa, sb):
    n = min(len(a), len(b))
    return sum((a[i - lag] - ma) * (b[i] - mb) for i in range(lag, n)) / ((n - lag) * sa * sb)


def one_over_e_time(x, dt):
    m, s = mean(x), std(x)
    prev = 1.0
    for lag in range(1, len(x) // 2):
        r = lagged(x, x, lag, m, m, s, s)
        if r <= math.exp(-1):
            return dt * (lag - 1 + (prev - math.exp(-1)) / (prev - r))
        prev = r
    return -1


def peak_lag(a, b, dt, max_lag):
    ma, mb, sa, sb = mean(a), mean(b), std(a), std(b)
    r = [lagged(a, b, k, ma, mb, sa, sb) for k in range(int(max_lag / dt) + 1)]
    k = max(range(len(r)), key=lambda i: r[i])
    off = 0.0
    if 0 < k < len(r) - 1:
        d = r[k - 1] - 2 * r[k] + r[k + 1]
        if d < 0:
            off = 0.5 * (r[k - 1] - r[k + 1]) / d
    return (k + off) * dt


def fft(x):
    n = len(x)
    if n == 1:
        return x
    even, odd = fft(x[0::2]), fft(x[1::2])
    t = [cmath.exp(-2j * math.pi * k / n) * odd[k] for k in range(n // 2)]
    return [even[k] + t[k] for k in range(n // 2)] + [even[k] - t[k] for k in range(n // 2)]


def welch(x, dt, seg=2048):
    m = mean(x)
    w = [0.5 - 0.5 * math.cos(2 * math.pi * i / seg) for i in range(seg)]
    w2 = sum(v * v for v in w)
    acc = [0.0] * (seg // 2)
    count = 0
    start = 0
    while start + seg <= len(x):
        spectrum = fft([(x[start + i] - m) * w[i] for i in range(seg)])
        for k in range(1, seg // 2):
            acc[k] += abs(spectrum[k]) ** 2
        count += 1
        start += seg // 2
    f = [k / (seg * dt) for k in range(1, seg // 2)]
    d = [2 * acc[k] * dt / (w2 * count) for k in range(1, seg // 2)]
    return f, d


def slope(f, d, low, high, bins=10):
    lf, ld = [], []
    step = math.log(high / low) / bins
    for b in range(bins):
        lo, hi = low * math.exp(step * b), low * math.exp(step * (b + 1))
        sel = [(math.log(fi), di) for fi, di in zip(f, d) if lo <= fi < hi]
        if sel:
            lf.append(sum(s[0] for s in sel) / len(sel))
            ld.append(math.log(sum(s[1] for s in sel) / len(sel)))
    mf, md = mean(lf), mean(ld)
    return sum((a - mf) * (b - md) for a, b in zip(lf, ld)) / sum((a - mf) ** 2 for a in lf)


def corr(a, b):
    return lagged(a, b, 0, mean(a), mean(b), std(a), std(b))


def stats(path, speed, scale, intensity):
    header, cols = read_csv(path)
    t = cols[0]
    dt = t[1] - t[0]
    c = lambda k, axis: cols[header.index("w%d_%s" % (k, axis))]
    u, v, w = c(0, "x"), c(0, "y"), c(0, "z")
    mean_speed = math.sqrt(mean(u) ** 2 + mean(v) ** 2 + mean(w) ** 2)
    print("samples %d over %.1f s" % (len(t), t[-1]))
    print("mean speed %.4f m/s (%+.2f %% of %.3g)" % (mean_speed, 100 * (mean_speed / speed - 1), speed))
    for name, x in (("u", u), ("v", v), ("w", w)):
        print("std %s %.4f m/s (%+.1f %% of %.3g)" % (name, std(x), 100 * (std(x) / (intensity * speed) - 1), intensity * speed))
    te = one_over_e_time(u, dt)
    print("1/e time of u %.3f s (%+.1f %% of L/U = %.3f s)" % (te, 100 * (te / (scale / speed) - 1), scale / speed))
    f, d = welch(u, dt)
    fi = speed / (2 * math.pi * scale)
    print("integral frequency U/(2 pi L) %.4f Hz; slope over [fI, 10 fI] %.3f; over [2 fI, 20 fI] %.3f" %
          (fi, slope(f, d, fi, 10 * fi), slope(f, d, 2 * fi, 20 * fi)))
    print("correlation of u across the wind: d = 0.25 m %.3f, d = 15 m %.3f" % (corr(u, c(1, "x")), corr(u, c(2, "x"))))
    lag = peak_lag(u, c(3, "x"), dt, 3 * 10 / speed)
    print("10 m downwind: cross-correlation peak at %.3f s (%+.2f %% of %.3f s); at lag 0 %.3f" %
          (lag, 100 * (lag / (10 / speed) - 1), 10 / speed, corr(u, c(3, "x"))))


def gusts(path, speed, strength, interval, envelope_mean):
    header, cols = read_csv(path)
    t = cols[0]
    dt = t[1] - t[0]
    u = cols[header.index("w0_x")]
    calm = speed * (1 - strength * envelope_mean)
    threshold = calm + 0.5 * strength * speed * 0.75
    count = sum(1 for k in range(1, len(u)) if u[k - 1] < threshold <= u[k])
    print("gusts counted %d over %.0f s: mean interval %.2f s (%+.1f %% of %.3g)" %
          (count, t[-1], t[-1] / count, 100 * (t[-1] / count / interval - 1), interval))
    print("mean speed %.4f m/s, peak %.3f m/s" % (mean(u), max(u)))
    lag = peak_lag(u, cols[header.index("w1_x")], dt, 20)
    print("front 20 m downwind: lag %.3f s (20 m / U = %.3f s)" % (lag, 20 / speed))


def svg_plot(out, series, xlabel, ylabel, logx=False, logy=False, title=""):
    """series: list of (points [(x, y)], colour, label, dashed)."""
    W, H, L, R, T, B = 640, 400, 70, 20, 30, 50
    tx = (lambda v: math.log10(v)) if logx else (lambda v: v)
    ty = (lambda v: math.log10(v)) if logy else (lambda v: v)
    xs = [tx(p[0]) for s in series for p in s[0]]
    ys = [ty(p[1]) for s in series for p in s[0]]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    X = lambda v: L + (tx(v) - x0) / (x1 - x0) * (W - L - R)
    Y = lambda v: H - B - (ty(v) - y0) / (y1 - y0) * (H - T - B)
    o = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="12">' % (W, H),
         '<rect width="100%" height="100%" fill="white"/>',
         '<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="black"/>' % (L, T, W - L - R, H - T - B),
         '<text x="%d" y="18" text-anchor="middle">%s</text>' % (W // 2, title),
         '<text x="%d" y="%d" text-anchor="middle">%s</text>' % ((W + L - R) // 2, H - 10, xlabel),
         '<text x="15" y="%d" text-anchor="middle" transform="rotate(-90 15 %d)">%s</text>' % (H // 2, H // 2, ylabel)]

    def ticks(lo, hi, log):
        if log:
            return [10 ** e for e in range(math.floor(lo), math.ceil(hi) + 1) if lo <= e <= hi]
        step = 10 ** math.floor(math.log10((hi - lo) / 4))
        while (hi - lo) / step > 8:
            step *= 2
        return [k * step for k in range(math.ceil(lo / step), math.floor(hi / step) + 1)]
    for v in ticks(x0, x1, logx):
        o.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>' % (X(v), T, X(v), H - B))
        o.append('<text x="%.1f" y="%d" text-anchor="middle">%g</text>' % (X(v), H - B + 15, v))
    for v in ticks(y0, y1, logy):
        o.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>' % (L, Y(v), W - R, Y(v)))
        o.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (L - 5, Y(v) + 4, v))
    for k, (pts, colour, label, dashed) in enumerate(series):
        path = " ".join("%.1f,%.1f" % (X(x), Y(y)) for x, y in pts)
        o.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="1.5"%s/>' %
                 (path, colour, ' stroke-dasharray="6,4"' if dashed else ""))
        o.append('<text x="%d" y="%d" fill="%s">%s</text>' % (L + 10, T + 18 + 16 * k, colour, label))
    o.append("</svg>")
    with open(out, "w") as f:
        f.write("\n".join(o) + "\n")


def spectrum_svg(path, speed, scale, out):
    t, u = column(path, "w0_x")
    f, d = welch(u, t[1] - t[0])
    fi = speed / (2 * math.pi * scale)
    # Averaged in twelve bins a decade for the plot.
    pts = []
    lo = f[0]
    while lo < f[-1]:
        hi = lo * 10 ** (1 / 12)
        sel = [(fi_, di) for fi_, di in zip(f, d) if lo <= fi_ < hi]
        if sel:
            pts.append((math.exp(mean([math.log(s[0]) for s in sel])), mean([s[1] for s in sel])))
        lo = hi
    ref_at = min(pts, key=lambda p: abs(math.log(p[0] / (3 * fi))))
    ref = [(x, ref_at[1] * (x / ref_at[0]) ** (-5 / 3)) for x in (fi, 10 * fi)]
    band = [(fi, pts[-1][1]), (fi, pts[0][1])]
    band2 = [(10 * fi, pts[-1][1]), (10 * fi, pts[0][1])]
    svg_plot(out, [(pts, "#1f5fbf", "along-wind component u, Welch (2048 samples, Hann)", False),
                   (ref, "#d04020", "slope -5/3", True),
                   (band, "#888", "fit range fI .. 10 fI (fI = U / 2 pi L)", True), (band2, "#888", "", True)],
             "frequency (Hz)", "power spectral density (m^2/s^2/Hz)", True, True,
             "Spectrum at one point, 10 minutes, U = %g m/s, L = %g m" % (speed, scale))


def series_svg(path, names, t0, t1, out):
    header, cols = read_csv(path)
    t = cols[0]
    colours = ["#1f5fbf", "#d04020", "#2a9d3a", "#8a4fbf"]
    series = []
    for k, name in enumerate(names):
        x = cols[header.index(name)]
        series.append(([(ti, xi) for ti, xi in zip(t, x) if t0 <= ti <= t1], colours[k % 4], name, False))
    svg_plot(out, series, "time (s)", "m/s or m", title="dor-sim %s" % path.split("/")[-1])


if __name__ == "__main__":
    a = sys.argv
    if len(a) >= 6 and a[1] == "stats":
        stats(a[2], float(a[3]), float(a[4]), float(a[5]))
    elif len(a) >= 7 and a[1] == "gusts":
        gusts(a[2], float(a[3]), float(a[4]), float(a[5]), float(a[6]))
    elif len(a) >= 6 and a[1] == "spectrum":
        spectrum_svg(a[2], float(a[3]), float(a[4]), a[5])
    elif len(a) >= 7 and a[1] == "series":
        series_svg(a[2], a[6:], float(a[3]), float(a[4]), a[5])
    else:
        sys.exit(__doc__)
