"""Every analysis against networkx on random networks with one-way, blocked and
closed elements, and several threads on one view."""
import copy
from concurrent.futures import ThreadPoolExecutor

import networkx as nx
import numpy as np
import pytest

from conftest import RandomNet


def oracle_graph(r, kind="downstream", closed=(), barrier_nodes=(), barrier_edges=()):
    """The steps a walk may take as a MultiDiGraph keyed by edge number. Closed
    nodes are reached but not passed, so they keep no steps of their own."""
    arcs = r.arcs()
    if kind == "connected":
        arcs += [(b, a, e, c) for a, b, e, c in arcs]
    elif kind == "upstream":
        arcs = [(b, a, e, c) for a, b, e, c in arcs]
    g = nx.MultiDiGraph()
    g.add_nodes_from(n for n in range(1, r.n + 1) if n not in barrier_nodes)
    for a, b, e, c in arcs:
        if a not in closed and e not in barrier_edges and a in g and b in g:
            g.add_edge(a, b, key=e, weight=c)
    return g


def reached(g, starts):
    nodes = set()
    for s in starts:
        if s in g:
            nodes |= {s} | nx.descendants(g, s)
    edges = {e for a, _, e in g.edges(keys=True) if a in nodes}
    return sorted(nodes), sorted(edges)


def simple(g):
    """The least-cost arc of each pair: what Dijkstra on a DiGraph sees."""
    d = nx.DiGraph()
    d.add_nodes_from(g)
    for a, b, c in g.edges(data="weight"):
        if not d.has_edge(a, b) or d[a][b]["weight"] > c:
            d.add_edge(a, b, weight=c)
    return d


@pytest.mark.parametrize("kind", ["connected", "downstream", "upstream"])
def test_traces_reach_what_networkx_reaches(kv, random_nets, kind):
    rng = np.random.default_rng(4)
    for r in random_nets:
        view = r.network(kv).view(None)
        for _ in range(5):
            starts = rng.integers(1, r.n + 1, 2)
            bn = set(rng.integers(1, r.n + 1, 3).tolist()) - set(starts.tolist())
            be = set(rng.integers(1, r.m + 1, 3).tolist())
            stops = set(rng.integers(1, r.n + 1, 2).tolist()) - bn
            got = view.trace(starts, kind=kind, barrier_nodes=sorted(bn), barrier_edges=sorted(be),
                             stop_nodes=sorted(stops))
            g = oracle_graph(r, kind, r.closed() | stops, bn, be)
            nodes, edges = reached(g, starts.tolist())
            assert got.nodes.tolist() == nodes
            assert got.edges.tolist() == edges


def test_routes_cost_what_dijkstra_finds(kv, random_nets):
    rng = np.random.default_rng(5)
    for r in random_nets:
        view = r.network(kv).view("cost", "reverse_cost")
        g = simple(oracle_graph(r, "downstream", r.closed()))
        for source in rng.choice(sorted(set(range(1, r.n + 1)) - r.closed()), 4):
            bn = sorted(set(rng.integers(1, r.n + 1, 3).tolist()) - {source})
            want = nx.single_source_dijkstra_path_length(g.subgraph(set(g) - set(bn)), int(source))
            got = view.costs_from(source, barrier_nodes=bn)
            np.testing.assert_allclose(got, [want.get(n, np.inf) for n in range(1, r.n + 1)], rtol=1e-12)
            want = nx.single_source_dijkstra_path_length(g, int(source))
            costs = view.costs_from(source)
            np.testing.assert_allclose(costs, [want.get(n, np.inf) for n in range(1, r.n + 1)], rtol=1e-12)
            targets = rng.integers(1, r.n + 1, 4)
            np.testing.assert_allclose(view.cost_matrix([source], targets)[0], costs[targets - 1], rtol=1e-12)
            for t in targets:
                path = view.shortest_path(source, t)
                assert path.found == np.isfinite(costs[t - 1])
                if not path.found or source == t:
                    continue
                assert path.cost == pytest.approx(costs[t - 1]) and path.nodes[-1] == t
                # Each step leaves where the last one arrived, over an arc that exists, at its cost.
                at, total = int(source), 0.0
                for e, n, along, c in zip(path.edges, path.nodes, path.along, path.costs):
                    a, b = (r.frm[e - 1], r.to[e - 1]) if along else (r.to[e - 1], r.frm[e - 1])
                    assert (a, n) == (at, b) and g.has_edge(a, b)
                    total += r.cost[e - 1] if along else r.reverse_cost[e - 1]
                    assert c == pytest.approx(total)
                    at = n


def test_service_area_is_the_dijkstra_ball(kv, random_nets):
    rng = np.random.default_rng(6)
    for r in random_nets:
        view = r.network(kv).view("cost", "reverse_cost")
        g = simple(oracle_graph(r, "downstream", r.closed()))
        starts = rng.choice(sorted(set(range(1, r.n + 1)) - r.closed()), 2, replace=False)
        want = nx.multi_source_dijkstra_path_length(g, set(starts.tolist()), cutoff=12.0)
        area = view.service_area(starts, 12.0)
        assert area.nodes.tolist() == sorted(want)
        np.testing.assert_allclose(area.costs, [want[n] for n in area.nodes], rtol=1e-12)


@pytest.mark.parametrize("kind", ["weak", "strong"])
def test_components_partition_as_networkx_does(kv, random_nets, kind):
    for r in random_nets:
        comps = r.network(kv).view(None).components(kind)
        g = simple(oracle_graph(r, "downstream"))
        g.remove_nodes_from(r.closed())
        find = nx.weakly_connected_components if kind == "weak" else nx.strongly_connected_components
        want = {frozenset(c) for c in find(g)}
        got = {}
        for n, c in enumerate(comps.node_component.tolist(), 1):
            assert (c == 0) == (n in r.closed())
            if c:
                got.setdefault(c, set()).add(n)
        assert {frozenset(c) for c in got.values()} == want
        assert comps.count == len(want) and sorted(comps.sizes.tolist()) == sorted(len(c) for c in want)
        # Components are numbered by their lowest node.
        assert [min(got[c]) for c in range(1, comps.count + 1)] == sorted(min(c) for c in want)


def test_isolation_cuts_off_exactly_with_its_devices(kv):
    rng = np.random.default_rng(8)
    for _ in range(60):
        r = RandomNet(rng, 30, 45, blocked=0.0, closed=0.0)
        view = r.network(kv).view(None)
        devices = sorted(set(rng.integers(1, r.n + 1, 10).tolist()))
        sources = rng.choice(sorted(set(range(1, r.n + 1)) - set(devices)), 2, replace=False).tolist()
        start = int(rng.choice(sorted(set(range(1, r.n + 1)) - set(devices) - set(sources))))
        iso = view.isolate(node=start, devices=devices, sources=sources)
        fed = reached(oracle_graph(r, "connected"), sources)[0]
        if iso.source_inside or start not in fed:
            continue
        closed = set(iso.devices.tolist())
        assert closed <= set(devices)
        cut = reached(oracle_graph(r, "connected", closed), sources)
        assert start not in cut[0]
        for d in closed:  # opening any one of them reconnects the start
            assert start in reached(oracle_graph(r, "connected", closed - {d}), sources)[0]
        assert iso.nodes.tolist() == sorted(set(fed) - set(cut[0]))


def test_threads_on_one_view_answer_as_one_thread(kv, random_nets):
    r = random_nets[-1]
    view = r.network(kv).view("cost", "reverse_cost")

    def work(source):
        return (view.costs_from(source).tolist(), view.trace(source, kind="downstream").edges.tolist(),
                view.components("strong").node_component.tolist())

    sources = list(range(1, r.n + 1)) * 2
    alone = [work(s) for s in sources]
    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(work, sources)) == alone


def test_searches_toward_and_from_many_starts_match_networkx(kv, random_nets):
    """costs_to is Dijkstra on the reversed graph; closest_facility and
    service_area_to are per-start minima; every tree edge prices its step."""
    rng = np.random.default_rng(9)
    for r in random_nets:
        view = r.network(kv).view("cost", "reverse_cost")
        g = simple(oracle_graph(r, "downstream", r.closed()))
        arc = {(a, b, e): c for a, b, e, c in r.arcs()}
        to = {}
        for t in rng.integers(1, r.n + 1, 4).tolist():
            want = nx.single_source_dijkstra_path_length(g.reverse(), t)
            costs, tree = view.costs_to(t, tree=True)
            to[t] = costs
            np.testing.assert_allclose(costs, [want.get(n, np.inf) for n in range(1, r.n + 1)], rtol=1e-12)
            assert not costs.flags.writeable and tree[t - 1] == 0
            for n in np.flatnonzero(tree).tolist():  # leave n by its first edge, then go on from there
                e = int(tree[n])
                a, b = int(r.frm[e - 1]), int(r.to[e - 1])
                nxt = b if (n + 1, b, e) in arc and costs[b - 1] + arc[(n + 1, b, e)] == pytest.approx(costs[n]) else a
                assert costs[n] == pytest.approx(arc[(n + 1, nxt, e)] + costs[nxt - 1])
        starts = list(to)
        facility, cost, tree = view.closest_facility(starts)
        alone = np.array([view.costs_from(s) for s in starts])
        np.testing.assert_allclose(cost, alone.min(axis=0), rtol=1e-12)
        hit = np.isfinite(cost)
        assert (facility[~hit] == -1).all()
        np.testing.assert_allclose(alone[facility[hit], np.flatnonzero(hit)], cost[hit], rtol=1e-12)
        _, from_tree = view.costs_from(starts[0], tree=True)
        assert ((from_tree == 0) == (~np.isfinite(alone[0]) | (np.arange(r.n) == starts[0] - 1))).all()
        area = view.service_area_to(starts, 12.0)
        nearest = np.min([to[s] for s in starts], axis=0)
        assert area.to_starts and area.nodes.tolist() == (np.flatnonzero(nearest <= 12.0) + 1).tolist()
        np.testing.assert_allclose(area.costs, nearest[area.nodes - 1], rtol=1e-12)
        assert len(area.reached_by) == len(area.nodes)


def test_restricted_and_sided_routes_agree_with_their_costs(kv, random_nets):
    """The options reach the toolkit as given: a path's cost is its row of
    costs_from or cost_matrix under the same restrictions or sides, and a
    restriction on a route's first turn never makes it cheaper."""
    rng = np.random.default_rng(10)
    sides = ["both", "right", "left"]
    for r in random_nets[:3]:
        view = r.network(kv).view("cost", "reverse_cost")
        for s, t in rng.integers(1, r.n + 1, (6, 2)).tolist():
            free = view.shortest_path(s, t)
            rules = [list(free.edges[:2])] if len(free) >= 2 else []
            rules.append(("no", [1, 1], int(r.to[0])))  # no u-turn at the end of edge 1
            path = view.shortest_path(s, t, restrictions=rules)
            assert path.cost >= free.cost - 1e-9
            pairs = list(zip(path.edges[:-1].tolist(), path.edges[1:].tolist()))
            assert (1, 1) not in pairs and (len(free) < 2 or tuple(free.edges[:2].tolist()) not in pairs)
            assert view.costs_from(s, restrictions=rules)[t - 1] == pytest.approx(path.cost)
            a, b = sides[s % 3], sides[t % 3]
            sided = view.shortest_path(s, t, driving_side=(a, b))
            assert view.cost_matrix([s], [t], driving_side=([a], b))[0, 0] == pytest.approx(sided.cost)
            assert sided.cost >= free.cost - 1e-9
            # A sided area's costs are the sided matrix's from its start.
            area = view.service_area([s], 15.0, driving_side=a)
            costs = view.cost_matrix([s], area.nodes, driving_side=(a, "both"))[0]
            np.testing.assert_allclose(area.costs, np.where(area.nodes == s, 0.0, costs), rtol=1e-12)
    with pytest.raises(ValueError, match="kind must be"):
        view.shortest_path(1, 2, restrictions=[("maybe", [1, 2])])
    with pytest.raises(ValueError, match="'both', 'right' or 'left'"):
        view.cost_matrix([1], [2], driving_side="up")


def test_components_following_costs_drop_ways_of_no_cost(kv, random_nets):
    r = copy.copy(random_nets[1])
    r.cost = np.where(np.arange(r.m) % 3 == 0, np.inf, r.cost)  # every third edge: no way along it
    comps = r.network(kv).view().components("strong", follow_costs=True)
    g = nx.DiGraph()
    g.add_nodes_from(n for n in range(1, r.n + 1) if n not in r.closed())
    g.add_edges_from((a, b) for a, b, _, c in r.arcs() if np.isfinite(c) and a in g and b in g)
    want = {frozenset(c) for c in nx.strongly_connected_components(g)}
    got = {}
    for n, c in enumerate(comps.node_component.tolist(), 1):
        if c:
            got.setdefault(c, set()).add(n)
    assert {frozenset(c) for c in got.values()} == want
