"""What GIS users work with: ids of their own, networkx both ways, pickling
and copying, and GeoDataFrames in and out, each against an oracle."""
import copy
import pickle

import networkx as nx
import numpy as np
import pytest

import kelvane
from conftest import RandomNet


def id_network(r, ids):
    up, down = r.up_state, r.down_state
    return kelvane.IdNetwork.from_edges(ids[r.frm - 1], ids[r.to - 1], nodes=ids, cost=r.cost,
                                        reverse_cost=r.reverse_cost, up_state=up, down_state=down,
                                        edge_ids=["e%d" % e for e in range(r.m)])


@pytest.mark.parametrize("id_kind", ["osm", "str"])
def test_ids_and_networkx_agree_with_networkx(random_nets, id_kind):
    rng = np.random.default_rng(7)
    for r in random_nets:
        r.node_state[:] = 0
        ids = (rng.choice(2**62, r.n, replace=False).astype(np.int64) if id_kind == "osm"
               else np.array(["n%d" % i for i in rng.permutation(r.n)], dtype=object))
        net = id_network(r, ids)
        g = nx.MultiDiGraph()
        g.add_nodes_from(ids.tolist())
        for a, b, e, c in r.arcs():
            g.add_edge(ids[a - 1], ids[b - 1], key="e%d" % (e - 1), weight=c)
        assert nx.utils.graphs_equal(net.to_networkx(), g) or sorted(net.to_networkx().edges(keys=True, data=True)) \
            == sorted(g.edges(keys=True, data=True))
        src = ids[rng.integers(0, r.n, 4)].tolist()
        want = [[nx.shortest_path_length(g, s, t, weight="weight") if nx.has_path(g, s, t) else np.inf
                 for t in ids.tolist()] for s in src]
        view = net.view()
        np.testing.assert_allclose(view.cost_matrix(src, ids.tolist()).to_numpy(), want)
        col = ids.tolist().index(src[0])
        np.testing.assert_allclose(view.costs_to(src[0]).loc[src].to_numpy(), [w[col] for w in want])
        near = view.closest_facility(src[:2])
        np.testing.assert_allclose(near["cost"].to_numpy(), np.min(want[:2], axis=0))
        assert near["start"].loc[src[0]] == src[0] and near["reached_by"].loc[src[0]] is None
        assert set(near["reached_by"].dropna()) <= {k for _, _, k in g.edges(keys=True)}
        back = kelvane.IdNetwork.from_networkx(g).view()
        np.testing.assert_allclose(back.cost_matrix(src, ids.tolist()).to_numpy(), want)
        path = view.shortest_path(src[0], src[1])
        if path.found:
            assert path.nodes[-1] == src[1] and set(path.edges) <= {k for _, _, k in g.edges(keys=True)}
    with pytest.raises(KeyError):
        net.view().trace("no such node" if id_kind == "str" else -1)


def test_everything_pickles_and_copies_to_what_it_was(kv, random_nets):
    r = random_nets[1]
    net = r.network(kv)
    fm = net.map_flags(edge_flags=np.column_stack([np.arange(1, 11), np.full(10, 0.3)]))
    view = net.view(split=fm.split)
    results = [view.trace([1, 2]), view.shortest_path(1, 5), view.service_area_to([1], 6.0),
               view.components("strong"), view.isolate(node=3, devices=[4, 5, 6], sources=[1])]

    def same(a, b):
        for name in ("nodes", "edges", "costs", "cost", "count", "node_component", "devices", "stretches",
                     "reached_by", "to_starts"):
            if hasattr(a, name):
                np.testing.assert_equal(getattr(a, name), getattr(b, name))

    for clone in (lambda o: pickle.loads(pickle.dumps(o)), copy.deepcopy):
        net2, view2, split2, *res2 = clone([net, view, fm.split] + results)
        assert view2.network is net2 and net2 is not net
        np.testing.assert_equal(view2.cost_matrix(np.arange(1, 20), np.arange(1, 20)),
                                view.cost_matrix(np.arange(1, 20), np.arange(1, 20)))
        for a, b in zip(results, res2):
            same(a, b)
        same(results[2].fold(fm.split), res2[2].fold(split2))
        assert not net2.check()
    turned = kv.Network.from_arrays([1, 2], [2, 3], cost=[1.0, 1.0], turns=([2], [1], [2], [4.0]))
    assert copy.copy(turned).view().costs_from(1).tolist() == [0.0, 1.0, 6.0]


def grid_layer(n, rng):
    """Streets of an n x n grid, each cut into two lines at a random point, and
    the networkx graph of its noding."""
    from shapely.geometry import LineString
    gpd = pytest.importorskip("geopandas")
    rows = []
    for i in range(n):
        for j in range(n):
            for di, dj in ((1, 0), (0, 1)):
                if i + di < n and j + dj < n:
                    t = rng.uniform(0.2, 0.8)
                    mid = (i + di * t, j + dj * t, 0.0)
                    rows.append(LineString([(i, j, 0.0), mid]))
                    rows.append(LineString([mid, (i + di, j + dj, 0.0)]))
    speed = rng.uniform(1, 3, len(rows))
    return gpd.GeoDataFrame({"speed": speed}, geometry=rows, index=np.arange(len(rows)) * 10 + 7)


def test_geodataframes_in_and_out_agree_with_networkx():
    geo = pytest.importorskip("kelvane.geo")
    from shapely.geometry import Point
    rng = np.random.default_rng(3)
    layer = grid_layer(8, rng)
    gn = geo.from_geodataframe(layer, cost="speed")
    g = nx.Graph()
    for idx, row in layer.iterrows():
        a, b = row.geometry.coords[0][:2], row.geometry.coords[-1][:2]
        g.add_edge(a, b, weight=row.speed, index=idx)
    for _ in range(5):
        s, t = (Point(*rng.integers(0, 8, 2).astype(float)) for _ in range(2))
        route = gn.route(s, t)
        want = nx.shortest_path_length(g, (s.x, s.y), (t.x, t.y), weight="weight")
        assert (route["cost"].iloc[-1] if len(route) else 0.0) == pytest.approx(want)
        assert set(route.index) <= set(layer.index) and (route["speed"] == layer.loc[route.index, "speed"]).all()
        # The area within a limit: every line whose cut reaches within it, its length as networkx says.
        limit = rng.uniform(1, 4)
        area = gn.service_area([s], limit)
        dist = nx.single_source_dijkstra_path_length(g, (s.x, s.y), weight="weight")
        for idx, row in layer.iterrows():
            a, b = row.geometry.coords[0][:2], row.geometry.coords[-1][:2]
            reach = min(1.0, max(0.0, limit - dist.get(a, np.inf)) / row.speed +
                        max(0.0, limit - dist.get(b, np.inf)) / row.speed)
            got = area.loc[[idx]].geometry.length.sum() if idx in area.index else 0.0
            assert got == pytest.approx(reach * row.geometry.length, abs=1e-9)
    with pytest.raises(ValueError, match="farther"):
        gn.snap([Point(100, 100)], max_distance=1.0)
    comps = gn.components()
    assert (comps["component"] == 1).all() and list(comps.index) == list(layer.index)
    assert gn.trace(np.int32(1))["kv_edge"].tolist() == list(range(1, gn.network.edge_count + 1))
    assert len(pickle.loads(pickle.dumps(gn)).route(Point(0, 0), Point(7, 7))) > 0
