"""Faults a new user met: the largest count, the fold around a mid-edge flag,
reverse costs in view(), states, tables written into garbage, writable
results, and messages and exception types."""
import subprocess
import sys

import numpy as np
import pytest


def test_the_largest_node_count_ends_at_once(kv):
    # A loop `n <= count` never ends at INT32_MAX: the call hung, deaf to Ctrl-C.
    code = ("import %s as kv\n"
            "for kw in ({}, {'node_count': 2**31 - 1}):\n"
            "    try:\n"
            "        kv.Network.from_arrays([1], [2**31 - 1], **kw).view(None).components()\n"
            "    except MemoryError as e:\n"
            "        assert 'IdNetwork' in str(e), e\n" % kv.__name__)
    subprocess.run([sys.executable, "-c", code], check=True, timeout=60)


def test_folded_area_keeps_every_stretch_its_pieces_reached(kv):
    # A flag mid-edge whose limit reaches neither end: the fold gave shares 0 and 0.
    net = kv.Network.from_arrays([1], [2], cost=[10.0])
    split = net.map_flags(edge_flags=(1, 0.5)).split
    area = net.view().service_area(3, 2.0).fold(split)
    edges, lo, hi = area.stretches
    assert edges.tolist() == [1] and lo[0] == pytest.approx(0.3) and hi[0] == pytest.approx(0.7)

    # Oracle: the unfolded pieces' stretches placed on their originals and joined.
    rng = np.random.default_rng(2)
    for _ in range(20):
        m = 30
        frm = rng.integers(1, 21, m)
        to = (frm + rng.integers(1, 20, m) - 1) % 20 + 1
        net = kv.Network.from_arrays(frm, to, node_count=20, cost=rng.uniform(1, 10, m))
        flagged = rng.choice(m, 10, replace=False) + 1
        split = net.map_flags(edge_flags=np.column_stack([flagged, rng.uniform(0.05, 0.95, 10)])).split
        view = net.view(split=split)
        area = view.service_area(rng.integers(1, view.node_count + 1, 2), rng.uniform(0, 8), directed=False)
        want = {}
        for e, a, b in zip(*area.stretches):
            orig, f0, f1 = split.original(int(e))
            if orig == e and split.is_split(int(e)):
                continue
            want.setdefault(orig, []).append((f0 + a * (f1 - f0), f0 + b * (f1 - f0)))
        joined = []
        for orig in sorted(want):
            for a, b in sorted(want[orig]):
                if joined and joined[-1][0] == orig and a <= joined[-1][2] + 1e-12:
                    joined[-1][2] = max(joined[-1][2], b)
                else:
                    joined.append([orig, a, b])
        got = area.fold(split).stretches
        assert got[0].tolist() == [j[0] for j in joined]
        np.testing.assert_allclose(np.column_stack(got[1:]), [[j[1], j[2]] for j in joined], atol=1e-9)


def test_view_prices_against_edges_with_the_reverse_cost(kv):
    for net in (kv.Network.from_arrays([1], [2], cost=[1.0], reverse_cost=[5.0]),
                kv.Network.from_lines([np.array([[0.0, 0], [1, 0]])], cost=[1.0], reverse_cost=[5.0])):
        assert net.view().costs_from(2).tolist() == [5.0, 0.0]
        assert net.view(reverse_weight="cost").costs_from(2).tolist() == [1.0, 0.0]


def test_states_that_are_no_states_are_refused_and_checked(kv):
    with pytest.raises(ValueError, match="not a state"):
        kv.Network.from_arrays([1], [2], up_state=[3])
    with pytest.raises(ValueError, match="not a state"):
        kv.Network.from_arrays([1], [2], node_state=[0, 2])
    net = kv.Network.from_arrays([1, 2], [2, 3], cost=[1.0, 1.0])
    net.down_state[1] = 7
    assert [f.element for f in net.check()] == [2] and "not a state" in net.check()[0].text
    with pytest.raises(ValueError, match="not a state"):
        net.view()
    net.down_state[1] = 0
    net.edge_nodes[0, 0] = 0  # 0-based ids written through the view
    with pytest.raises(ValueError, match="disagree"):
        net.view()
    # Bool masks and pandas nullable integers stand for states.
    pd = pytest.importorskip("pandas")
    blocked = kv.Network.from_arrays(pd.array([1, 2], dtype="Int64"), [2, 3], down_state=np.array([True, False]))
    assert blocked.down_state.tolist() == [1, 0]
    with pytest.raises(ValueError, match="missing"):
        kv.Network.from_arrays(pd.array([1, None], dtype="Int64"), [2, 3])


def test_results_are_read_only(kv):
    net = kv.Network.from_arrays([1, 2], [2, 3], cost=[1.0, 2.0])
    view = net.view()
    results = [view.trace(1).nodes, view.shortest_path(1, 3).edges, view.service_area(1, 5).costs,
               view.service_area(1, 5).edges, view.components().node_component, view.components().sizes]
    for arr in results:
        with pytest.raises(ValueError, match="read-only"):
            arr[0] = 9


def test_messages_speak_python_and_one_fault_is_one_type(kv):
    view = kv.Network.from_arrays([1, 2], [2, 3], cost=[1.0, 2.0]).view()
    with pytest.raises(ValueError, match="directed=True") as e:
        view.shortest_path(1, 3, directed=False, turns=True)
    assert "bTurns" not in str(e.value)
    with pytest.raises(ValueError, match="offsets"):
        kv.node_lines(np.zeros((4, 2)))
    # x, y, z rows: z dropped.
    assert kv.node_lines([np.array([[0.0, 0, 5], [1, 0, 6]])]).node_count == 2
    # One flag as (edge, fraction).
    assert kv.Network.from_arrays([1], [2]).map_flags(edge_flags=(1, 0.5)).nodes.tolist() == [3]
    # A node that is no node is an IndexError whatever the call and however large.
    for bad in (99, 2**40):
        for call in (lambda: view.trace(bad), lambda: view.trace([1, bad]), lambda: view.shortest_path(1, bad),
                     lambda: view.cost_matrix([bad], [1]), lambda: view.service_area([bad], 1.0),
                     lambda: view.isolate(node=bad, devices=[1], sources=[1])):
            with pytest.raises(IndexError):
                call()
