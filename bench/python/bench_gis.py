#!/usr/bin/python3
"""What a GIS user times: a network from a 20,000-line GeoDataFrame and one
route back as a GeoDataFrame, end to end, kelvane.geo against the same with
OSMnx-style geopandas + networkx code written here; and a 200 x 200 cost
matrix on two Dask workers against one. Best of a few repeats; prints ratios.

    PYTHONPATH=build/python/python /usr/bin/python3 bench/python/bench_gis.py
"""
import argparse
import os
import time

import numpy as np


def best(fn, repeats):
    times, out = [], None
    for _ in range(repeats):
        t0 = time.perf_counter()
        out = fn()
        times.append(time.perf_counter() - t0)
    return min(times), out


def layer(side, rng):
    """A side x side grid of streets as two-point lines, with a speed column."""
    import geopandas as gpd
    from shapely.geometry import LineString
    lines = []
    for i in range(side):
        for j in range(side):
            if i + 1 < side:
                lines.append(LineString([(i * 100.0, j * 100.0), ((i + 1) * 100.0, j * 100.0)]))
            if j + 1 < side:
                lines.append(LineString([(i * 100.0, j * 100.0), (i * 100.0, (j + 1) * 100.0)]))
    return gpd.GeoDataFrame({"minutes": rng.uniform(1, 3, len(lines))}, geometry=lines, crs="EPSG:3857")


def networkx_route(frame, origin, destination):
    """OSMnx style: nodes at the lines' rounded end points, edges keyed by the
    frame's index, nearest nodes to the points, then the route's rows."""
    import networkx as nx
    g = nx.MultiGraph()
    for idx, geom, w in zip(frame.index, frame.geometry, frame["minutes"]):
        a = tuple(np.round(geom.coords[0], 6))
        b = tuple(np.round(geom.coords[-1], 6))
        g.add_edge(a, b, key=idx, weight=w)
    xy = np.array(list(g.nodes))
    nodes = list(g.nodes)

    def nearest(p):
        return nodes[int(np.argmin((xy[:, 0] - p.x) ** 2 + (xy[:, 1] - p.y) ** 2))]
    path = nx.shortest_path(g, nearest(origin), nearest(destination), weight="weight")
    keys = [min(g[a][b], key=lambda k: g[a][b][k]["weight"]) for a, b in zip(path[:-1], path[1:])]
    return frame.loc[keys]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--side", type=int, default=101, help="grid side: 2 side (side - 1) lines (default 20,200)")
    ap.add_argument("--repeats", type=int, default=3)
    ap.add_argument("--matrix", type=int, default=200)
    ap.add_argument("--no-dask", action="store_true")
    args = ap.parse_args()
    import kelvane.geo as kg
    from shapely.geometry import Point
    rng = np.random.default_rng(3)
    frame = layer(args.side, rng)
    far = (args.side - 1) * 100.0
    o, d = Point(0, 0), Point(far, far)
    t_kv, route = best(lambda: kg.from_geodataframe(frame, cost="minutes").route(o, d), args.repeats)
    t_nx, nx_route = best(lambda: networkx_route(frame, o, d), args.repeats)
    assert abs(route["cost"].iloc[-1] - nx_route["minutes"].sum()) < 1e-6, (route["cost"].iloc[-1], nx_route["minutes"].sum())
    rows = [(f"network from {len(frame)} lines + one route as a GeoDataFrame", t_kv, "geopandas + networkx", t_nx)]

    if not args.no_dask:
        import kelvane
        import kelvane.distributed as kd
        from distributed import Client, LocalCluster
        sys_side = 300
        ids = np.arange(1, sys_side * sys_side + 1).reshape(sys_side, sys_side)
        net = kelvane.Network.from_arrays(np.concatenate([ids[:, :-1].ravel(), ids[:-1, :].ravel()]),
                                          np.concatenate([ids[:, 1:].ravel(), ids[1:, :].ravel()]),
                                          cost=rng.uniform(1, 3, 2 * sys_side * (sys_side - 1)))
        src = rng.integers(1, net.node_count + 1, args.matrix)
        tgt = rng.integers(1, net.node_count + 1, args.matrix)
        times = {}
        for workers in (1, 2):
            with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                              dashboard_address=None) as cluster, Client(cluster) as client:
                shared = client.scatter(net, broadcast=True)
                kd.cost_matrix(client, shared, src[:4], tgt)  # each worker builds its view
                times[workers], _ = best(lambda: kd.cost_matrix(client, shared, src, tgt, chunks=8), args.repeats)
        rows.append((f"{args.matrix} x {args.matrix} cost matrix, {sys_side}^2 grid", times[2], "one Dask worker",
                     times[1]))
    print("| case | peer | kelvane | peer | peer / kelvane |")
    print("|---|---|---|---|---|")
    for what, tk, peer, tp in rows:
        print(f"| {what} | {peer} | {tk * 1e3:.0f} ms | {tp * 1e3:.0f} ms | {tp / tk:.2f} |")
    print("\nuptime:" + os.popen("uptime").read().rstrip())


if __name__ == "__main__":
    main()
