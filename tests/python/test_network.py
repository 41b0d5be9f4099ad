"""Network construction, the zero-copy table views, flag mapping and the
errors every entry point owes its caller."""
import math

import numpy as np
import pytest

from conftest import RandomNet


def test_arrays_come_back_from_the_table_views(kv):
    rng = np.random.default_rng(1)
    r = RandomNet(rng, 50, 120)
    # Inputs in other dtypes and layouts than the tables': each must be cast, not reinterpreted.
    frm = np.repeat(r.frm.astype(np.int64), 2)[::2]
    cost32 = r.cost.astype(np.float32)
    node_weight = rng.uniform(0, 5, r.n)
    demand, node_demand = rng.uniform(0, 3, r.m), rng.uniform(0, 3, r.n)
    direction = rng.integers(0, 3, r.m).astype(np.int8)
    net = kv.Network.from_arrays(frm, r.to.astype(np.uint16), node_count=r.n, cost=cost32,
                                 reverse_cost=r.reverse_cost, node_weight=node_weight, demand=demand,
                                 node_demand=node_demand, up_state=r.up_state, down_state=r.down_state,
                                 node_state=r.node_state, direction=direction)
    assert (net.node_count, net.edge_count, net.has_turns) == (r.n, r.m, False)
    assert net.columns == {"cost": 0, "reverse_cost": 1}
    np.testing.assert_array_equal(net.edge_nodes, np.column_stack([r.frm, r.to]))
    assert net.edge_nodes.dtype == np.int32
    for view, want in ((net.up_state, r.up_state), (net.down_state, r.down_state),
                       (net.node_state, r.node_state), (net.edge_direction, direction)):
        assert view.dtype == np.int8
        np.testing.assert_array_equal(view, want)
    np.testing.assert_array_equal(net.edge_demand, demand)
    np.testing.assert_array_equal(net.node_demand, node_demand)
    w = net.weights("cost")
    assert w.dtype == kv.WEIGHT_DTYPE and w.dtype.itemsize == 9 and w.shape == (r.m,)
    np.testing.assert_array_equal(w["type"], 4)
    np.testing.assert_array_equal(w["value"], cost32.astype(np.float64))
    np.testing.assert_array_equal(net.weights(1)["value"], r.reverse_cost)
    np.testing.assert_array_equal(net.node_weights()["value"], node_weight)
    del w
    extra = {"length": rng.uniform(size=r.m), "time": rng.uniform(size=r.m)}
    if kv.BUILD == "first generation":
        with pytest.raises(ValueError):
            kv.Network.from_arrays(r.frm, r.to, cost=r.cost, columns=extra)
    else:
        net = kv.Network.from_arrays(r.frm, r.to, cost=r.cost, reverse_cost=r.cost, columns=extra)
        assert net.columns == {"cost": 0, "reverse_cost": 1, "length": 2, "time": 3}
        np.testing.assert_array_equal(net.weights("time")["value"], extra["time"])
        np.testing.assert_array_equal(net.weights(2)["value"], extra["length"])


def expected_list(net, node, side, gen1):
    """What the core's up / down / all lists answer, read off the live table views."""
    if net.node_state[node - 1] == 1:
        return []
    out = []
    for entry in net.connections(node).tolist():
        e = abs(entry)
        up, down = net.up_state[e - 1] == 1, net.down_state[e - 1] == 1
        if side == "all":
            if not (up and down):
                out.append(e)
        elif side == "down" and not down:
            if (entry > 0) if gen1 else net.edge_nodes[e - 1, 0] == node:
                out.append(entry)
        elif side == "up" and not up:
            if (entry < 0) if gen1 else net.edge_nodes[e - 1, 1] == node:
                out.append(entry)
    return out


def test_writes_through_views_are_what_queries_answer(kv):
    rng = np.random.default_rng(2)
    r = RandomNet(rng, 25, 60, blocked=0.0, closed=0.0)
    net = r.network(kv)
    gen1 = kv.BUILD == "first generation"
    ups, downs, states, ends = net.up_state, net.down_state, net.node_state, net.edge_nodes
    for _ in range(20):
        ups[rng.integers(r.m)] ^= 1
        downs[rng.integers(r.m)] ^= 1
        states[rng.integers(r.n)] ^= 1
        ends[rng.integers(r.m)] = ends[rng.integers(r.m)][::-1].copy()
        conn = net.connections(int(rng.integers(1, r.n + 1)))
        if conn.size:
            conn[rng.integers(conn.size)] *= -1
        for node in range(1, r.n + 1):
            assert net.edges_at(node).tolist() == expected_list(net, node, "all", gen1)
            assert net.down_edges_at(node).tolist() == expected_list(net, node, "down", gen1)
            assert net.up_edges_at(node).tolist() == expected_list(net, node, "up", gen1)


def test_mapped_flags_fold_back_onto_the_original_edges(kv):
    rng = np.random.default_rng(3)
    r = RandomNet(rng, 40, 90, blocked=0.0, closed=0.0)
    net = r.network(kv)
    before = net.view("cost", "reverse_cost")
    costs0 = before.costs_from(1)
    whole = before.trace(1, kind="connected")
    del before
    flagged = rng.choice(np.arange(1, r.m + 1), 25, replace=False)
    frac = rng.uniform(0.05, 0.95, flagged.size)
    mapping = net.map_flags(edge_flags=(flagged, frac))
    assert net.edge_count == r.m + len(mapping.pieces) and mapping.nodes.size == flagged.size
    split = mapping.split
    view = net.view("cost", "reverse_cost", split=split)
    costs = view.costs_from(1)
    np.testing.assert_allclose(costs[: r.n], costs0)
    for e, f, node in zip(flagged, frac, mapping.nodes):
        assert split.is_split(e) and split.original(e)[0] == e
        pieces = split.pieces(e)
        assert pieces[0, 1] == 0 and pieces[-1, 2] == 1
        # A flag's node lies a share f along its edge: reached from either end.
        a, b = r.frm[e - 1], r.to[e - 1]
        want = min(costs0[a - 1] + f * r.cost[e - 1], costs0[b - 1] + (1 - f) * r.reverse_cost[e - 1])
        assert math.isclose(costs[node - 1], want, rel_tol=1e-9)
    originals, fractions = view.trace(1, kind="connected").fold(split)
    np.testing.assert_array_equal(originals, whole.edges)
    np.testing.assert_allclose(fractions, 1.0)


def _mapped_view(kv):
    net = kv.Network.from_arrays([1, 2, 3], [2, 3, 4], cost=[1.0, 1.0, 1.0])
    view = net.view("cost")
    net.map_flags(edge_flags=([2], [0.5]))
    return view


def _map_with_live_view(kv):
    net = kv.Network.from_arrays([1, 2, 3], [2, 3, 4], cost=[1.0, 1.0, 1.0])
    held = [net.up_state, net.connections(2)]
    assert len(held) == 2
    net.map_flags(edge_flags=([2], [0.5]))


ten = dict(from_nodes=np.arange(1, 10), to_nodes=np.arange(2, 11))
ERRORS = [
    ("float node numbers", lambda kv: kv.Network.from_arrays([1.5, 2.0], [2, 3]), ValueError,
     "from_nodes must hold integers"),
    ("2-d node numbers", lambda kv: kv.Network.from_arrays(np.ones((2, 2), int), [2, 3]), ValueError,
     r"from_nodes must be one-dimensional, not of shape \(2, 2\)"),
    ("NaN cost", lambda kv: kv.Network.from_arrays(**ten, cost=[1.0] * 4 + [math.nan] + [1.0] * 4),
     ValueError, "cost of edge 5 is not a number"),
    ("lengths differ", lambda kv: kv.Network.from_arrays(**ten, cost=np.ones(8)), ValueError,
     "cost has 8 entries, from_nodes 9"),
    ("edge to node 0", lambda kv: kv.Network.from_arrays([1, 2], [2, 0], node_count=2), ValueError,
     "edge 2: to node 0 is not a node"),
    ("node out of range", lambda kv: kv.Network.from_arrays(**ten).edges_at(12), IndexError,
     r"node 12 is not a node \(1 to 10\)"),
    ("trace from no node", lambda kv: kv.Network.from_arrays(**ten).view(None).trace(11), IndexError,
     r"start node 11 is not a node \(1 to 10\)"),
    ("unknown trace kind", lambda kv: kv.Network.from_arrays(**ten).view(None).trace(1, kind="sideways"),
     ValueError, "sideways"),
    ("view after map_flags", lambda kv: _mapped_view(kv).trace(1), ValueError, "build the view again"),
    ("map_flags while a table view lives", _map_with_live_view, ValueError,
     "map_flags: 2 arrays viewing this network's tables are still in use; del them first"),
]


@pytest.mark.parametrize("call, error, message", [e[1:] for e in ERRORS], ids=[e[0] for e in ERRORS])
def test_bad_input_is_refused_with_a_sentence(kv, call, error, message):
    with pytest.raises(error, match=message):
        call(kv)


def test_snap_lands_on_the_nearest_point_of_every_edge(kv):
    """Against every segment of every edge at once: the distance is the least
    one, and the edge and fraction name a point at that distance."""
    rng = np.random.default_rng(11)
    lines = [np.cumsum(rng.normal(0, 1, (rng.integers(2, 6), 2)), axis=0) + rng.uniform(0, 20, 2) for _ in range(60)]
    noding = kv.node_lines(lines)
    edges = [np.asarray(noding.edge_points(e)) for e in range(1, noding.edge_count + 1)]
    a = np.vstack([p[:-1] for p in edges])
    d = np.vstack([np.diff(p, axis=0) for p in edges])
    xy = rng.uniform(-2, 22, (200, 2))
    got_edge, got_frac, got_dist = noding.snap(xy)
    for q, e, f, dist in zip(xy, got_edge, got_frac, got_dist):
        t = np.clip(np.einsum("ij,ij->i", q - a, d) / np.maximum((d ** 2).sum(1), 1e-300), 0, 1)
        assert dist == pytest.approx(np.hypot(*(a + t[:, None] * d - q).T).min(), abs=1e-9)
        pts = edges[e - 1]
        along = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
        at = np.array([np.interp(f * along[-1], along, pts[:, k]) for k in range(2)])
        assert np.hypot(*(at - q)) == pytest.approx(dist, abs=1e-9)
    assert noding.snap(xy[0])[0].tolist() == [got_edge[0]]
    with pytest.raises(ValueError, match="xy row 0"):
        noding.snap([np.nan, 1.0])
