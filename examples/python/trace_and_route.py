#!/usr/bin/python3
"""Reads a street layer, puts a flag on the street nearest a point, traces from
it and routes from it to a second point, and draws the outcome to a PNG.

    PYTHONPATH=build/python/python /usr/bin/python3 examples/python/trace_and_route.py \\
        examples/kelvane-trace/tests/data/village.geojson --out /tmp/village.png
    /usr/bin/python3 examples/python/make_city.py /tmp/city.gpkg     # 19,613 streets
    PYTHONPATH=... trace_and_route.py /tmp/city.gpkg --layer-name streets --out /tmp/city.png

Coordinates are the layer's own (lon,lat for a geographic layer). A field
"oneway" (1 / yes along the line, -1 against it) makes one-way streets; a
field "blocked" of 1 closes the street both ways.
"""
import argparse
import math
import os

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from osgeo import ogr  # noqa: E402

import kelvane  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
VILLAGE = os.path.join(HERE, "..", "kelvane-trace", "tests", "data", "village.geojson")


def point(text):
    x, y = (float(v) for v in text.split(","))
    return x, y


def read_lines(path, layer_name):
    """Every line part of the layer, with its oneway and blocked attributes."""
    ds = ogr.Open(path)
    if ds is None:
        raise SystemExit(f"{path}: GDAL cannot open it")
    layer = ds.GetLayerByName(layer_name) if layer_name else ds.GetLayer(0)
    srs = layer.GetSpatialRef()
    fields = [layer.GetLayerDefn().GetFieldDefn(i).GetName() for i in range(layer.GetLayerDefn().GetFieldCount())]
    lines, oneway, blocked = [], [], []
    for f in layer:
        g = f.GetGeometryRef()
        if g is None:
            continue
        parts = [g.GetGeometryRef(i) for i in range(g.GetGeometryCount())] if g.GetGeometryCount() else [g]
        ow = str(f.GetField("oneway")).lower() if "oneway" in fields else ""
        ow = 1 if ow in ("1", "yes", "true") else -1 if ow == "-1" else 0
        bl = "blocked" in fields and f.GetField("blocked") == 1
        for p in parts:
            if p.GetPointCount() >= 2:  # points and empty parts carry no street
                lines.append(np.array(p.GetPoints())[:, :2])
                oneway.append(ow)
                blocked.append(bl)
    return lines, np.array(oneway), np.array(blocked, bool), bool(srs is not None and srs.IsGeographic())


def snap(edge_xy, xy, xscale, usable):
    """The usable edge nearest xy and the fraction along it (by planar length,
    x scaled by xscale so that lon/lat degrees count alike): every segment of
    every edge at once."""
    pts = [p * (xscale, 1.0) for p in edge_xy]
    a = np.vstack([p[:-1] for p in pts])
    d = np.vstack([np.diff(p, axis=0) for p in pts])
    edge = np.repeat(np.arange(1, len(pts) + 1), [len(p) - 1 for p in pts])
    seg = np.hypot(d[:, 0], d[:, 1])
    before = np.cumsum(seg) - seg  # length of the edge up to each segment, over all edges
    first = np.searchsorted(edge, edge)  # each segment's edge's first segment
    before -= before[first]
    total = np.bincount(edge, seg)[edge]
    q = np.asarray(xy) * (xscale, 1.0)
    t = np.clip(np.einsum("ij,ij->i", q - a, d) / np.maximum(seg**2, 1e-300), 0.0, 1.0)
    dist = np.hypot(*(a + t[:, None] * d - q).T)
    dist[~usable[edge - 1]] = np.inf  # a flag on a closed street would reach nothing
    i = int(np.argmin(dist))
    frac = (before[i] + t[i] * seg[i]) / max(total[i], 1e-300)
    return int(edge[i]), min(max(frac, 1e-6), 1 - 1e-6)


def cut(pts, f0, f1):
    """The stretch of a polyline from fraction f0 to f1 of its length."""
    along = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
    at = np.array([f0, f1]) * along[-1]
    inner = pts[(along > at.min()) & (along < at.max())]
    ends = np.column_stack([np.interp(at, along, pts[:, 0]), np.interp(at, along, pts[:, 1])])
    out = np.vstack([ends[:1], inner if f0 <= f1 else inner[::-1], ends[1:]])
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("layer", nargs="?", default=VILLAGE, help="any GDAL line layer (default: the demo's village)")
    ap.add_argument("--layer-name", help="layer to read (default: the first)")
    ap.add_argument("--flag", type=point, help="X,Y of the flag (default: the middle of the layer)")
    ap.add_argument("--to", type=point, help="X,Y the route goes to (default: the node the trace reaches "
                    "farthest from the flag)")
    ap.add_argument("--kind", choices=("downstream", "connected", "upstream"), default="downstream")
    ap.add_argument("--tolerance", type=float, default=0.0, help="vertex snapping for noding (metres for lon/lat)")
    ap.add_argument("--out", default="trace_and_route.png", help="PNG to write")
    args = ap.parse_args()

    lines, oneway, blocked, lonlat = read_lines(args.layer, args.layer_name)
    net = kelvane.Network.from_lines(lines, tolerance=args.tolerance, lonlat=lonlat, oneway=oneway)
    noding = net.noding
    edge_xy = [noding.edge_points(e) for e in range(1, net.edge_count + 1)]
    shut = np.flatnonzero(blocked[noding.edge_line])
    up, down = net.up_state, net.down_state
    up[shut], down[shut] = 1, 1
    del up, down  # map_flags replaces the tables: no view of them may outlive it

    allxy = np.vstack(lines)
    lo, hi = allxy.min(axis=0), allxy.max(axis=0)
    flag = args.flag or tuple(lo + (hi - lo) * 0.5)
    xscale = math.cos(math.radians((lo[1] + hi[1]) / 2)) if lonlat else 1.0
    usable = ~blocked[noding.edge_line]
    snapped = [snap(edge_xy, p, xscale, usable) for p in ([flag, args.to] if args.to else [flag])]
    mapping = net.map_flags(edge_flags=([e for e, _ in snapped], [f for _, f in snapped]))
    split = mapping.split
    start = int(mapping.nodes[0])

    view = net.view("cost", split=split)
    trace = view.trace(start, kind=args.kind)
    # Each traced piece drawn as the stretch of its street it covers, so that
    # the flag's own street shows only the part the trace took.
    traced = [cut(edge_xy[o - 1], f0, f1) for o, f0, f1 in map(split.original, trace.edges)]
    fxy = [cut(edge_xy[e - 1], f, f)[0] for e, f in snapped]
    if args.to:
        goal = int(mapping.nodes[1])
    else:  # the layer's own nodes the trace reached; flag nodes are numbered after them
        ends = trace.nodes[trace.nodes <= len(noding.node_xy)]
        goal = int(ends[np.argmax(np.hypot(*((noding.node_xy[ends - 1] - fxy[0]) * (xscale, 1.0)).T))])
        fxy.append(noding.node_xy[goal - 1])
    path = view.shortest_path(start, goal)
    steps = path.fold(split) if path.found else ()
    if isinstance(steps, np.ndarray) and steps.dtype.names:
        steps = [steps[name] for name in steps.dtype.names]
    route = [cut(edge_xy[e - 1], f0, f1) for e, f0, f1, _ in zip(*steps)]

    thin = 0.3 if len(edge_xy) > 3000 else 1.2
    fig, ax = plt.subplots(figsize=(10, 10) if len(edge_xy) > 3000 else (7, 6))
    ax.add_collection(LineCollection(edge_xy, colors="0.8", linewidths=thin, zorder=1))
    ax.add_collection(LineCollection(traced, colors="tab:blue",
                                     linewidths=thin * 1.5, zorder=2))
    if route:
        ax.add_collection(LineCollection(route, colors="red", linewidths=3.0, zorder=3, capstyle="round"))
    ax.plot(*fxy[0], marker="*", color="black", markersize=16, zorder=4, linestyle="none")
    ax.plot(*fxy[1], marker="s", color="red", markeredgecolor="black", markersize=9, zorder=4, linestyle="none")
    ax.set_xlim(lo[0] - (hi - lo)[0] * 0.03, hi[0] + (hi - lo)[0] * 0.03)
    ax.set_ylim(lo[1] - (hi - lo)[1] * 0.03, hi[1] + (hi - lo)[1] * 0.03)
    ax.set_aspect(1.0 / xscale)
    ax.set_xlabel("longitude" if lonlat else "x")
    ax.set_ylabel("latitude" if lonlat else "y")
    unit = " m" if lonlat else ""
    what = f"route cost {path.cost:,.0f}{unit} over {len(route)} streets" if path.found else "no route"
    ax.set_title(f"{os.path.basename(args.layer)}: {args.kind} trace from the flag takes "
                 f"{len(traced):,} street edges of {len(edge_xy):,}\n{what} to the red square", fontsize=10)
    fig.legend(handles=[Line2D([], [], color="0.8", label="streets"),
                       Line2D([], [], color="tab:blue", label=f"{args.kind} from the flag"),
                       Line2D([], [], color="red", linewidth=3, label="least-cost route"),
                       Line2D([], [], marker="*", color="black", linestyle="none", markersize=12, label="flag"),
                       Line2D([], [], marker="s", color="red", markeredgecolor="black", linestyle="none",
                              label="route's end")], loc="lower center", ncol=5, fontsize=8, frameon=False)
    fig.tight_layout(rect=(0, 0.04, 1, 1))
    fig.savefig(args.out, dpi=150)
    print(f"{args.out}: {net!r}; flag on edge {snapped[0][0]} at {snapped[0][1]:.3f}, {len(traced)} edges traced, "
          f"{what}")


if __name__ == "__main__":
    main()
