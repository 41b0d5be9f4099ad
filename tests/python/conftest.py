"""Fixtures shared by the module's tests: both builds, and random networks
with their arrays kept so that an oracle can be built from the same input."""
import importlib

import numpy as np
import pytest


@pytest.fixture(params=["kelvane", "kelvane.gen1"])
def kv(request):
    """The module under test, once per build: the two must answer alike."""
    return importlib.import_module(request.param)


class RandomNet:
    """A random network's input arrays (numbered as the library numbers, from 1)."""

    def __init__(self, rng, nodes, edges, blocked=0.1, closed=0.05):
        self.n, self.m = nodes, edges
        self.frm = rng.integers(1, nodes + 1, edges).astype(np.int32)
        # No loops: a loop adds nothing to reachability and hides in an oracle's graph.
        self.to = (self.frm + rng.integers(1, nodes, edges) - 1) % nodes + 1
        self.cost = rng.uniform(1.0, 10.0, edges)
        self.reverse_cost = rng.uniform(1.0, 10.0, edges)
        self.up_state = (rng.random(edges) < blocked).astype(np.int8)
        self.down_state = (rng.random(edges) < blocked).astype(np.int8)
        self.node_state = (rng.random(nodes) < closed).astype(np.int8)

    def network(self, kv):
        return kv.Network.from_arrays(self.frm, self.to, node_count=self.n, cost=self.cost,
                                      reverse_cost=self.reverse_cost, up_state=self.up_state,
                                      down_state=self.down_state, node_state=self.node_state)

    def arcs(self):
        """(tail, head, edge, cost) for every way an edge may be travelled:
        along it when its down state is open, against it when its up state is."""
        out = []
        for e in range(self.m):
            a, b = int(self.frm[e]), int(self.to[e])
            if self.down_state[e] != 1:
                out.append((a, b, e + 1, float(self.cost[e])))
            if self.up_state[e] != 1:
                out.append((b, a, e + 1, float(self.reverse_cost[e])))
        return out

    def closed(self):
        return set(int(i) + 1 for i in np.flatnonzero(self.node_state == 1))


@pytest.fixture
def random_nets():
    """A few random networks of different density, the same ones every run."""
    rng = np.random.default_rng(20261209)
    return [RandomNet(rng, n, m) for n, m in ((30, 40), (60, 150), (200, 260), (120, 600))]
