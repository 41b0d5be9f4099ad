"""Networks whose nodes and edges carry the user's own ids (int64 such as OSM
ids, or strings). The ids are numbered densely, in order of first
appearance, so memory follows the number of elements, not the largest id;
every result comes back in the user's ids."""
from __future__ import annotations

from typing import Any, Dict, Hashable, Iterable, Optional

import numpy as np
import numpy.typing as npt
import pandas as pd

from . import _kelvane


def _index(ids: Any) -> pd.Index:
    index = pd.Index(ids)
    if not index.is_unique:
        dup = index[index.duplicated()][0]
        raise ValueError("id %r is given twice" % (dup,))
    return index


def _numbers(index: pd.Index, ids: Any, what: str) -> npt.NDArray[Any]:
    scalar = np.ndim(ids) == 0 and not isinstance(ids, (list, tuple))
    wanted = [ids] if scalar else list(ids)
    pos = index.get_indexer(wanted) if len(wanted) else np.zeros(0, dtype=np.intp)
    if (pos < 0).any():
        raise KeyError("%s %r is not in the network" % (what, wanted[int(np.flatnonzero(pos < 0)[0])]))
    return np.asarray(pos + 1, dtype=np.int32)


def _or_none(index: pd.Index, numbers: Any) -> npt.NDArray[Any]:
    """The ids of library numbers, None where the number is 0 (none)."""
    n = np.asarray(numbers, dtype=np.int64)
    out = np.full(len(n), None, dtype=object)
    have = n > 0
    out[have] = index.to_numpy()[n[have] - 1]
    return out


class IdNetwork:
    """A kelvane.Network with the user's ids: node_ids[n - 1] names node n,
    edge_ids[e - 1] names edge e."""

    def __init__(self, network: Any, node_ids: Any, edge_ids: Any) -> None:
        self.network = network
        self._nodes = _index(node_ids)
        self._edges = _index(edge_ids)
        if len(self._nodes) != network.node_count or len(self._edges) != network.edge_count:
            raise ValueError("%d node ids and %d edge ids for a network of %d nodes and %d edges"
                             % (len(self._nodes), len(self._edges), network.node_count, network.edge_count))

    @classmethod
    def from_edges(cls, from_ids: Any, to_ids: Any, *, edge_ids: Any = None, nodes: Any = None,
                   **kwargs: Any) -> "IdNetwork":
        """A network from edges between ids of any kind; edge_ids name the
        edges (default 0, 1, ...), nodes lists the node ids when node-level
        arrays (node_state, node_weight, node_demand) are given in its order
        or isolated nodes are wanted. Other arguments as Network.from_arrays."""
        frm = np.asarray(from_ids)
        to = np.asarray(to_ids)
        if frm.shape != to.shape or frm.ndim != 1:
            raise ValueError("from_ids and to_ids must be one-dimensional and of one length")
        if nodes is not None:
            node_index = _index(nodes)
            codes = node_index.get_indexer(np.concatenate([frm, to]))
            if (codes < 0).any():
                bad = np.concatenate([frm, to])[np.flatnonzero(codes < 0)[0]]
                raise KeyError("node %r of an edge is not in nodes" % (bad,))
        else:
            if any(k in kwargs for k in ("node_state", "node_weight", "node_demand")):
                raise ValueError("node-level arrays need nodes=, the node ids in their order")
            codes, uniques = pd.factorize(np.concatenate([frm, to]))
            node_index = pd.Index(uniques)
        codes = (codes + 1).astype(np.int32)
        m = len(frm)
        net = _kelvane.Network.from_arrays(codes[:m], codes[m:], node_count=len(node_index), **kwargs)
        return cls(net, node_index, pd.RangeIndex(m) if edge_ids is None else edge_ids)

    @property
    def node_ids(self) -> npt.NDArray[Any]:
        """The node ids, node n's at entry n - 1."""
        return np.asarray(self._nodes.to_numpy())

    @property
    def edge_ids(self) -> npt.NDArray[Any]:
        """The edge ids, edge e's at entry e - 1."""
        return np.asarray(self._edges.to_numpy())

    def node_numbers(self, ids: Any) -> npt.NDArray[Any]:
        """The library's numbers of node ids (KeyError for an unknown one)."""
        return _numbers(self._nodes, ids, "node")

    def edge_numbers(self, ids: Any) -> npt.NDArray[Any]:
        """The library's numbers of edge ids (KeyError for an unknown one)."""
        return _numbers(self._edges, ids, "edge")

    def nodes_of(self, numbers: Any) -> npt.NDArray[Any]:
        """Node ids of library node numbers."""
        return np.asarray(self._nodes.to_numpy()[np.asarray(numbers, dtype=np.int64) - 1])

    def edges_of(self, numbers: Any) -> npt.NDArray[Any]:
        """Edge ids of library edge numbers."""
        return np.asarray(self._edges.to_numpy()[np.asarray(numbers, dtype=np.int64) - 1])

    def view(self, *args: Any, **kwargs: Any) -> "IdView":
        """An IdView over network.view(...) with the same arguments."""
        return IdView(self, self.network.view(*args, **kwargs))

    def __repr__(self) -> str:
        return "<kelvane.IdNetwork %d nodes, %d edges>" % (self.network.node_count, self.network.edge_count)

    # --- networkx ---
    def to_networkx(self) -> Any:
        """A networkx MultiDiGraph over the node ids with one arc per way an
        edge may be travelled (along it unless its down state blocks it,
        against it unless its up state does), keyed by edge id, its weight
        the cost that way ('weight'; 1 without costs)."""
        import networkx as nx

        net = self.network
        view = net.view() if "cost" in net.columns else net.view(None)
        along, against = view.edge_cost(True), view.edge_cost(False)
        ends = np.asarray(net.edge_nodes) - 1
        nodes, edges = self.node_ids, self.edge_ids
        g = nx.MultiDiGraph()
        g.add_nodes_from(nodes.tolist())
        up, down = np.asarray(net.up_state), np.asarray(net.down_state)
        for e in range(net.edge_count):
            a, b = nodes[ends[e, 0]], nodes[ends[e, 1]]
            if down[e] == 0 and np.isfinite(along[e]):
                g.add_edge(a, b, key=edges[e], weight=float(along[e]))
            if up[e] == 0 and np.isfinite(against[e]):
                g.add_edge(b, a, key=edges[e], weight=float(against[e]))
        return g

    @classmethod
    def from_networkx(cls, graph: Any, weight: str = "weight") -> "IdNetwork":
        """A network from a networkx graph: an undirected graph's edges go both
        ways, a directed graph's arcs one way each; cost from the weight
        attribute (1 where missing). Edge ids are (u, v) or, for multigraphs,
        (u, v, key)."""
        multi = graph.is_multigraph()
        rows = list(graph.edges(keys=True, data=weight, default=1.0) if multi
                    else graph.edges(data=weight, default=1.0))
        frm = [r[0] for r in rows]
        to = [r[1] for r in rows]
        ids = pd.Index([tuple(r[:-1]) for r in rows], tupleize_cols=False) if rows else pd.Index([])
        cost = np.array([float(r[-1]) for r in rows])
        kw: Dict[str, Any] = {"cost": cost}
        if graph.is_directed():
            kw["up_state"] = np.ones(len(rows), dtype=np.int8)
        nodes = list(graph.nodes)
        return cls.from_edges(frm, to, edge_ids=ids, nodes=nodes, **kw)


_NODE_ATTRS = {"TraceResult": ("nodes",), "ServiceArea": ("nodes",), "Isolation": ("nodes", "devices"),
               "Path": ("nodes",)}
_EDGE_ATTRS = {"TraceResult": ("edges",), "ServiceArea": ("edges",), "Isolation": ("edges",), "Path": ("edges",)}


class IdResult:
    """A result of an IdView: what the library's result says, in ids. The
    library's result itself is `result`."""

    def __init__(self, result: Any, ids: IdNetwork) -> None:
        self.result = result
        self.ids = ids

    def __getattr__(self, name: str) -> Any:
        if name in ("result", "ids"):
            raise AttributeError(name)
        value = getattr(self.result, name)
        kind = type(self.result).__name__
        if name in _NODE_ATTRS.get(kind, ()):
            return self.ids.nodes_of(value)
        if name in _EDGE_ATTRS.get(kind, ()):
            return self.ids.edges_of(value)
        if kind == "Path" and name in ("source", "target"):
            return self.ids.nodes_of([value])[0]
        if kind == "Components" and name == "node_component":
            return pd.Series(value, index=self.ids.node_ids, name="component")
        if kind == "Components" and name == "edge_component":
            return pd.Series(value, index=self.ids.edge_ids, name="component")
        if kind == "ServiceArea" and name == "reached_by":
            return _or_none(self.ids._edges, value)
        if kind == "ServiceArea" and name == "stretches":
            return (self.ids.edges_of(value[0]), value[1], value[2])
        return value

    def __repr__(self) -> str:
        return "<kelvane.IdResult of %r>" % (self.result,)


class IdView:
    """A View whose analyses take and give the user's ids."""

    def __init__(self, ids: IdNetwork, view: Any) -> None:
        self.ids = ids
        self.view = view

    def _elems(self, kw: Dict[str, Any]) -> Dict[str, Any]:
        for key in ("barrier_nodes", "stop_nodes"):
            if key in kw:
                kw[key] = self.ids.node_numbers(kw[key])
        for key in ("barrier_edges", "stop_edges"):
            if key in kw:
                kw[key] = self.ids.edge_numbers(kw[key])
        if kw.get("restrictions") is not None:
            kw["restrictions"] = [self._restriction(r) for r in kw["restrictions"]]
        return kw

    def _restriction(self, r: Any) -> Any:
        """A restriction of edge ids (and a via node id) in library numbers."""
        if len(r) and isinstance(r[0], str):
            out = [r[0], self.ids.edge_numbers(list(r[1]))]
            if len(r) > 2:
                out.append(int(self.ids.node_numbers([r[2]])[0]))
            return tuple(out)
        return self.ids.edge_numbers(list(r))

    def _tree(self, result: Any, kw: Dict[str, Any]) -> Any:
        """Costs, and with tree=True the edges reached by, as Series by node id."""
        costs, tree = result if kw.get("tree") else (result, None)
        costs = pd.Series(costs, index=self.ids.node_ids, name="cost")
        if tree is None:
            return costs
        return costs, pd.Series(_or_none(self.ids._edges, tree), index=self.ids.node_ids, name="reached_by")

    def trace(self, starts: Any, **kw: Any) -> IdResult:
        """view.trace with starts and barriers as node and edge ids."""
        return IdResult(self.view.trace(self.ids.node_numbers(starts), **self._elems(kw)), self.ids)

    def shortest_path(self, source: Hashable, target: Hashable, **kw: Any) -> IdResult:
        """view.shortest_path between two node ids."""
        s, t = self.ids.node_numbers([source, target])
        return IdResult(self.view.shortest_path(int(s), int(t), **self._elems(kw)), self.ids)

    def costs_from(self, source: Hashable, **kw: Any) -> Any:
        """Least costs from source to every node, indexed by node id; with
        tree=True also the edge id each node is reached by (None for none)."""
        return self._tree(self.view.costs_from(int(self.ids.node_numbers([source])[0]), **self._elems(kw)), kw)

    def costs_to(self, target: Hashable, **kw: Any) -> Any:
        """Least costs from every node to target, indexed by node id; with
        tree=True also the edge id each node's route leaves by."""
        return self._tree(self.view.costs_to(int(self.ids.node_numbers([target])[0]), **self._elems(kw)), kw)

    def closest_facility(self, starts: Any, **kw: Any) -> pd.DataFrame:
        """Every node's nearest start: columns start (its id, None for
        none), cost and reached_by (an edge id, None for none), by node id."""
        s = list(starts)
        facility, cost, tree = self.view.closest_facility(self.ids.node_numbers(s), **self._elems(kw))
        ids = np.full(len(s) + 1, None, dtype=object)  # -1: the None at the end
        for i, x in enumerate(s):  # one by one: a tuple id stays one id
            ids[i] = x
        return pd.DataFrame({"start": ids[facility], "cost": cost, "reached_by": _or_none(self.ids._edges, tree)},
                            index=self.ids.node_ids)

    def service_area_to(self, starts: Any, limit: float, **kw: Any) -> IdResult:
        """view.service_area_to from node ids."""
        return IdResult(self.view.service_area_to(self.ids.node_numbers(starts), limit, **self._elems(kw)), self.ids)

    def cost_matrix(self, sources: Iterable[Hashable], targets: Iterable[Hashable], **kw: Any) -> pd.DataFrame:
        """(S, T) least costs, rows and columns labelled by node id."""
        s = list(sources)
        t = list(targets)
        m = self.view.cost_matrix(self.ids.node_numbers(s), self.ids.node_numbers(t), **self._elems(kw))
        return pd.DataFrame(m, index=pd.Index(s, tupleize_cols=False), columns=pd.Index(t, tupleize_cols=False))

    def service_area(self, starts: Any, limit: float, **kw: Any) -> IdResult:
        """view.service_area from node ids."""
        return IdResult(self.view.service_area(self.ids.node_numbers(starts), limit, **self._elems(kw)), self.ids)

    def components(self, kind: str = "weak", **kw: Any) -> IdResult:
        """view.components; node_component and edge_component as Series by id."""
        return IdResult(self.view.components(kind, **self._elems(kw)), self.ids)

    def isolate(self, node: Optional[Hashable] = None, edge: Optional[Hashable] = None, *, devices: Any,
                sources: Any, **kw: Any) -> IdResult:
        """view.isolate with the element, devices and sources as node ids."""
        n = None if node is None else int(self.ids.node_numbers([node])[0])
        e = None if edge is None else int(self.ids.edge_numbers([edge])[0])
        return IdResult(self.view.isolate(n, e, devices=self.ids.node_numbers(devices),
                                          sources=self.ids.node_numbers(sources), **self._elems(kw)), self.ids)
