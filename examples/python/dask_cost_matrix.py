"""A cost matrix and service areas over many origins on a Dask cluster of two
worker processes, checked against the same matrix computed here.

    PYTHONPATH=build/python/python python3 examples/python/dask_cost_matrix.py --size 200
"""
from __future__ import annotations

import argparse
import time

import numpy as np
from distributed import Client, LocalCluster

import kelvane
import kelvane.distributed as kd


def grid(side: int, seed: int = 1) -> kelvane.Network:
    """A side x side grid of streets with random costs each way."""
    rng = np.random.default_rng(seed)
    ids = np.arange(1, side * side + 1).reshape(side, side)
    frm = np.concatenate([ids[:, :-1].ravel(), ids[:-1, :].ravel()])
    to = np.concatenate([ids[:, 1:].ravel(), ids[1:, :].ravel()])
    return kelvane.Network.from_arrays(frm, to, cost=rng.uniform(1, 3, len(frm)),
                                       reverse_cost=rng.uniform(1, 3, len(frm)))


def main() -> None:
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--side", type=int, default=200, help="grid side (side x side nodes)")
    ap.add_argument("--size", type=int, default=50, help="origins and destinations")
    args = ap.parse_args()
    net = grid(args.side)
    rng = np.random.default_rng(2)
    sources = rng.integers(1, net.node_count + 1, args.size)
    targets = rng.integers(1, net.node_count + 1, args.size)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        start = time.perf_counter()
        matrix = kd.cost_matrix(client, net, sources, targets)
        spread = time.perf_counter() - start
        areas = kd.service_areas(client, net, sources[:4].tolist(), 20.0)
    start = time.perf_counter()
    here = net.view().cost_matrix(sources, targets)
    alone = time.perf_counter() - start
    assert np.array_equal(matrix, here), "the cluster's matrix differs"
    print("%d x %d matrix on two workers in %.2f s (here %.2f s); %d areas of %s nodes"
          % (len(sources), len(targets), spread, alone, len(areas), [len(a.nodes) for a in areas]))


if __name__ == "__main__":
    main()
