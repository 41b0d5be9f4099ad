#!/usr/bin/python3
"""The kelvane module beside the graph libraries a Python host would reach for.

On a W x W street grid (two-way streets, random costs from 1 to 2) it times a
connected trace from the corner and the least costs from the corner to every
node, each library on a graph built beforehand; then from_arrays on the grid's
arrays against the C++ builder alone, and the cost of one small call. Each
figure is the best of a few repeats (networkx: one run, it is slow). Prints
one table of ratios, kelvane's time over the other's (below 1: kelvane is
faster).

    PYTHONPATH=build/python/python /usr/bin/python3 bench/python/bench_python.py
"""
import argparse
import gc
import os
import platform
import sys
import time
import timeit

import numpy as np


def grid(side, rng):
    """Edge arrays of a side x side grid, nodes numbered row by row from 1."""
    ids = np.arange(1, side * side + 1, dtype=np.int32).reshape(side, side)
    frm = np.concatenate([ids[:, :-1].ravel(), ids[:-1, :].ravel()])
    to = np.concatenate([ids[:, 1:].ravel(), ids[1:, :].ravel()])
    cost = rng.uniform(1.0, 2.0, frm.size)
    return frm, to, cost


def best(fn, repeats):
    """Best wall time of repeats calls, and the last result."""
    times, out = [], None
    for _ in range(repeats):
        gc.collect()
        t0 = time.perf_counter()
        out = fn()
        times.append(time.perf_counter() - t0)
    return min(times), out


def analyses(kv, frm, to, cost, n, repeats, with_networkx):
    """The trace and the least costs, every library on a graph built beforehand;
    rows of (what, kelvane seconds, peer name, peer seconds)."""
    import igraph
    import scipy.sparse as sp
    from scipy.sparse import csgraph
    rows = []

    net = kv.Network.from_arrays(frm, to, node_count=n, cost=cost)
    view = net.view("cost")
    ig = igraph.Graph(n=n, edges=np.column_stack([frm - 1, to - 1]), directed=False)
    ig.es["w"] = cost
    a = sp.csr_matrix((np.concatenate([cost, cost]), (np.concatenate([frm, to]) - 1, np.concatenate([to, frm]) - 1)),
                      shape=(n, n))
    g = None
    if with_networkx:
        import networkx as nx
        g = nx.Graph()
        g.add_nodes_from(range(1, n + 1))
        g.add_weighted_edges_from(zip(frm.tolist(), to.tolist(), cost.tolist()))

    # Connected trace from the corner: every library answers the nodes reached.
    t_kv, tr = best(lambda: view.trace(1, kind="connected"), repeats)
    t_ig, ig_nodes = best(lambda: ig.subcomponent(0, mode="all"), repeats)
    t_sp, sp_nodes = best(lambda: csgraph.breadth_first_order(a, 0, directed=True, return_predecessors=False),
                          repeats)
    assert tr.nodes.size == len(ig_nodes) == sp_nodes.size == n
    rows += [("connected trace from the corner", t_kv, "igraph subcomponent", t_ig),
             ("", t_kv, "scipy breadth_first_order", t_sp)]
    if g is not None:
        t_nx, nx_nodes = best(lambda: nx.node_connected_component(g, 1), 1)
        assert len(nx_nodes) == n
        rows.append(("", t_kv, "networkx node_connected_component", t_nx))

    # Least costs from the corner to every node.
    t_kv, kc = best(lambda: view.costs_from(1), repeats)
    t_ig, ic = best(lambda: ig.distances(source=0, weights="w"), repeats)
    t_sp, sc = best(lambda: csgraph.dijkstra(a, directed=True, indices=0), repeats)
    assert np.allclose(kc, ic[0]) and np.allclose(kc, sc)
    rows += [("least costs from the corner", t_kv, "igraph distances", t_ig),
             ("", t_kv, "scipy dijkstra", t_sp)]
    if g is not None:
        t_nx, nc = best(lambda: nx.single_source_dijkstra_path_length(g, 1), 1)
        assert abs(nc[n] - kc[n - 1]) < 1e-9 * kc[n - 1]
        rows.append(("", t_kv, "networkx single_source_dijkstra_path_length", t_nx))
    return rows


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--side", type=int, default=1000, help="grid side (default 1000)")
    ap.add_argument("--repeats", type=int, default=5, help="repeats per timing (default 5)")
    ap.add_argument("--no-networkx", action="store_true", help="leave networkx out (it takes minutes)")
    ap.add_argument("--build", default="kelvane", help="module to time: kelvane or kelvane.gen1")
    args = ap.parse_args()

    import importlib
    kv = importlib.import_module(args.build)
    import igraph
    import scipy

    rng = np.random.default_rng(7)
    frm, to, cost = grid(args.side, rng)
    n, m = args.side * args.side, frm.size
    print(f"grid {args.side} x {args.side}: {n} nodes, {m} edges; {kv.__name__} {kv.__version__} ({kv.BUILD}); "
          f"numpy {np.__version__}, python-igraph {igraph.__version__}, scipy {scipy.__version__}",
          file=sys.stderr)
    rows = analyses(kv, frm, to, cost, n, args.repeats, not args.no_networkx)
    gc.collect()

    # from_arrays against the C++ builder alone on the same arrays: what the
    # conversion and the Python objects add.
    t_fa, _ = best(lambda: kv.Network.from_arrays(frm, to, node_count=n, cost=cost), args.repeats)
    bld = importlib.import_module(kv.__name__ + "._kelvane")
    t_b = min(bld._builder_seconds(frm, to, cost) for _ in range(args.repeats))
    rows.append((f"from_arrays, {m} edges", t_fa, "C++ builder alone", t_b))

    # One small call: what every call pays beyond its work.
    small = kv.Network.from_arrays(np.arange(1, 10), np.arange(2, 11), cost=np.ones(9)).view("cost")
    per = min(timeit.repeat(lambda: small.trace(1), number=20000, repeat=args.repeats)) / 20000
    rows.append(("view.trace on a 10-node network", per, "", None))

    print("| case | peer | kelvane | peer | kelvane / peer |")
    print("|---|---|---|---|---|")
    for what, tk, peer, tp in rows:
        if tp is None:
            print(f"| {what} | | {tk * 1e6:.2f} us | | |")
        else:
            print(f"| {what} | {peer} | {tk * 1e3:.1f} ms | {tp * 1e3:.1f} ms | {tk / tp:.3f} |")
    print(f"\n{platform.python_implementation()} {platform.python_version()}; "
          f"uptime:{os.popen('uptime').read().rstrip()}")


if __name__ == "__main__":
    main()
