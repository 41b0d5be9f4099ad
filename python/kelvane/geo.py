"""GeoDataFrames in and out: a network from a layer of lines (nodes where
lines share a point within a tolerance), points snapped to their nearest
street with shapely's STRtree, and every result as a GeoDataFrame carrying
the input's index and attributes and the geometry reached, streets cut where
a limit or a route's end falls. Works with shapely 1.8 and 2.x."""
from __future__ import annotations

import copy
import warnings
from typing import Any, Dict, Optional, Sequence, Tuple

import geopandas as gpd
import numpy as np
import numpy.typing as npt
import pandas as pd
import shapely
from shapely.geometry import LineString, Point
from shapely.ops import substring
from shapely.strtree import STRtree

from . import _kelvane

_SHAPELY2 = int(shapely.__version__.split(".")[0]) >= 2


def _line_coords(geoms: Sequence[Any]) -> Tuple[Any, Any]:
    """(P, 2) points and P + 1 offsets of single lines; z dropped."""
    if _SHAPELY2:
        xy, idx = shapely.get_coordinates(np.asarray(geoms, dtype=object), return_index=True)
        counts = np.bincount(idx, minlength=len(geoms))
    else:
        xy, counts = _wkb_coords(geoms)
    offsets = np.concatenate([[0], np.cumsum(counts)]).astype(np.int64)
    return np.ascontiguousarray(xy, dtype=np.float64), offsets


def _wkb_coords(geoms: Sequence[Any]) -> Tuple[Any, Any]:
    """Shapely 1.8: every line's points out of its WKB at once (a line's
    coords, read one line at a time, cost several times more)."""
    blobs = [g.wkb for g in geoms]
    lens = np.fromiter((len(b) for b in blobs), dtype=np.int64, count=len(blobs))
    buf = np.frombuffer(b"".join(blobs), dtype=np.uint8)
    starts = np.concatenate([[0], np.cumsum(lens)[:-1]]).astype(np.int64)
    if len(blobs) == 0:
        return np.zeros((0, 2)), np.zeros(0, dtype=np.int64)
    head = buf[starts[:, None] + np.arange(9)]
    kinds = head[:, 1:5].copy().view("<u4").ravel()
    dims = np.where((kinds == 2), 2, np.where((kinds == 1002) | (kinds == 0x80000002), 3, 0))
    if (head[:, 0] != 1).any() or (dims == 0).any() or (dims != dims[0]).any():
        parts = [np.asarray(g.coords)[:, :2] if not g.is_empty else np.zeros((0, 2)) for g in geoms]
        return (np.concatenate(parts) if parts else np.zeros((0, 2)),
                np.array([len(p) for p in parts], dtype=np.int64))
    keep = np.ones(len(buf), dtype=bool)
    keep[(starts[:, None] + np.arange(9)).ravel()] = False
    d = int(dims[0])
    xy = buf[keep].view("<f8").reshape(-1, d)[:, :2]
    return xy, (lens - 9) // (8 * d)


class GeoNetwork:
    """A network made from a GeoDataFrame of lines. `lines` is the layer as
    used (multi-part lines exploded, the index kept), `network` the
    kelvane.Network, each edge of which lies on one line."""

    def __init__(self, lines: gpd.GeoDataFrame, network: Any) -> None:
        self.lines = lines
        self.network = network
        noding = network.noding
        self._edge_line = np.asarray(noding.edge_line)
        self._edge_from = np.asarray(noding.edge_from_fraction)
        self._edge_to = np.asarray(noding.edge_to_fraction)
        self._noding = noding
        self._edge_xy: Optional[list] = None  # type: ignore[type-arg]  # after unpickling only
        self._tree: Any = None
        self._geoms: Optional[list] = None  # type: ignore[type-arg]
        self._view: Any = None

    # --- pickling: the noding is made again from the lines ---
    def __getstate__(self) -> Dict[str, Any]:
        edge_xy = self._edge_xy or [np.array(self._noding.edge_points(e))
                                    for e in range(1, self.network.edge_count + 1)]
        return {"lines": self.lines, "network": self.network, "edge_line": self._edge_line,
                "edge_from": self._edge_from, "edge_to": self._edge_to, "edge_xy": edge_xy}

    def __setstate__(self, state: Dict[str, Any]) -> None:
        self.lines, self.network = state["lines"], state["network"]
        self._edge_line, self._edge_from, self._edge_to = state["edge_line"], state["edge_from"], state["edge_to"]
        self._edge_xy, self._noding = state["edge_xy"], None
        self._tree, self._geoms, self._view = None, None, None

    def __repr__(self) -> str:
        return "<kelvane.geo.GeoNetwork %d lines, %d nodes, %d edges>" % (
            len(self.lines), self.network.node_count, self.network.edge_count)

    # --- snapping ---
    def edge_geometry(self, edge: int) -> LineString:
        """Edge `edge`'s line, from its from node to its to node."""
        if self._edge_xy is not None:
            return LineString(self._edge_xy[edge - 1])
        return LineString(self._noding.edge_points(edge))

    def _index(self) -> Tuple[Any, Any]:
        # The tree holds the layer's own lines (no geometry to make); a point
        # finds its line, then the edge of that line it falls on.
        if self._tree is None:
            self._geoms = list(self.lines.geometry.values)
            order = np.lexsort((self._edge_from, self._edge_line))
            self._by_line = order
            self._line_first = np.searchsorted(self._edge_line[order], np.arange(len(self._geoms) + 1))
            with warnings.catch_warnings():  # shapely 1.8 warns of 2.0's STRtree, which is also handled
                warnings.simplefilter("ignore")
                self._tree = STRtree(self._geoms)
            self._ids = {id(g): i for i, g in enumerate(self._geoms)}
        return self._tree, self._geoms

    def snap(self, points: Any, max_distance: Optional[float] = None) -> pd.DataFrame:
        """Each point's nearest edge and where along it (fraction from its from
        node), with the distance; index that of the points. ValueError for a
        point farther than max_distance from every street."""
        pts = _points(points)
        tree, geoms = self._index()
        found = np.full(len(pts), -1, dtype=np.int64)
        if _SHAPELY2:
            arr = np.asarray(pts.values, dtype=object)
            pairs = tree.query_nearest(arr, max_distance=max_distance, all_matches=False)
            found[pairs[0]] = pairs[1]
        else:
            for i, p in enumerate(pts.values):
                if max_distance is None:
                    found[i] = self._ids[id(tree.nearest(p))]
                    continue
                cands = [self._ids[id(g)] for g in tree.query(p.buffer(max_distance))]
                best = min(cands, key=lambda c: float(geoms[c].distance(p)), default=-1)
                if best >= 0 and geoms[best].distance(p) <= max_distance:
                    found[i] = best
        if (found < 0).any():
            i = int(np.flatnonzero(found < 0)[0])
            raise ValueError("point %r lies farther than %s from every street" % (pts.index[i], max_distance))
        edges = np.zeros(len(pts), dtype=np.int32)
        frac = np.zeros(len(pts))
        dist = np.zeros(len(pts))
        for i, (j, p) in enumerate(zip(found, pts.values)):
            t = geoms[j].project(p, normalized=True)
            mine = self._by_line[self._line_first[j]:self._line_first[j + 1]]
            if len(mine) == 0:
                raise ValueError("point %r is nearest to line %r, which the noding dropped (too short)"
                                 % (pts.index[i], self.lines.index[j]))
            k = mine[min(int(np.searchsorted(self._edge_from[mine], t, side="right")) - 1, len(mine) - 1)]
            k = mine[0] if t < self._edge_from[mine[0]] else k
            ef, et = self._edge_from[k], self._edge_to[k]
            edges[i] = k + 1
            frac[i] = min(1.0, max(0.0, (t - ef) / (et - ef))) if et > ef else 0.0
            dist[i] = geoms[j].distance(p)
        return pd.DataFrame({"edge": edges, "fraction": frac, "distance": dist}, index=pts.index)

    def nearest_nodes(self, points: Any, max_distance: Optional[float] = None) -> npt.NDArray[np.int32]:
        """Each point's nearer end of its nearest edge, as node numbers."""
        s = self.snap(points, max_distance)
        ends = np.asarray(self.network.edge_nodes)[s["edge"].to_numpy() - 1]
        return np.where(s["fraction"].to_numpy() < 0.5, ends[:, 0], ends[:, 1]).astype(np.int32)

    def _nodes(self, where: Any, max_distance: Optional[float]) -> npt.NDArray[np.int32]:
        if isinstance(where, (int, np.integer)) or (np.ndim(where) == 1 and np.asarray(where).dtype.kind in "iu"):
            return np.atleast_1d(np.asarray(where, dtype=np.int32))
        return self.nearest_nodes(where, max_distance)

    def _flagged(self, points: Any, max_distance: Optional[float]) -> Tuple[Any, Any, Any]:
        """A copy of the network with a node at each snapped point: (view,
        the points' nodes, split index)."""
        s = self.snap(points, max_distance)
        net = copy.copy(self.network)
        fm = net.map_flags(edge_flags=np.column_stack([s["edge"].to_numpy(), s["fraction"].to_numpy()]))
        return net.view(split=fm.split), np.asarray(fm.nodes), fm.split

    # --- results as GeoDataFrames ---
    def frame(self, edges: Any, start: Any = None, end: Any = None, **columns: Any) -> gpd.GeoDataFrame:
        """Rows for edges (numbers of this network), each cut from fraction
        start to end along it (whole when not given), with its line's index
        and attributes, the stretch as line fractions, and extra columns."""
        edges = np.asarray(edges, dtype=np.int64)
        whole = start is None
        a = np.zeros(len(edges)) if whole else np.asarray(start, dtype=float)
        b = np.ones(len(edges)) if whole else np.asarray(end, dtype=float)
        rows = self._edge_line[edges - 1]
        out = self.lines.iloc[rows].copy()
        ef, et = self._edge_from[edges - 1], self._edge_to[edges - 1]
        out["kv_edge"] = edges.astype(np.int32)
        out["from_fraction"] = ef + a * (et - ef)
        out["to_fraction"] = ef + b * (et - ef)
        for name, values in columns.items():
            out[name] = np.asarray(values)
        geoms = []
        for e, x, y in zip(edges, a, b):
            g = self.edge_geometry(int(e))
            geoms.append(g if (x == 0.0 and y == 1.0) else substring(g, x, y, normalized=True))
        return out.set_geometry(gpd.GeoSeries(geoms, index=out.index, crs=self.lines.crs))

    def route(self, origin: Any, destination: Any, *, max_distance: Optional[float] = None,
              directed: bool = True) -> gpd.GeoDataFrame:
        """The least-cost route between two points (snapped to their streets,
        cut where they fall), one row per street stretch in order, with the
        cost so far at its end ('cost'); empty when there is none."""
        view, nodes, split = self._flagged(_points([origin, destination]), max_distance)
        path = view.shortest_path(int(nodes[0]), int(nodes[1]), directed=directed, turns=False)
        edges, a, b, cost = path.fold(split)
        return self.frame(edges, a, b, seq=np.arange(len(edges)), cost=cost)

    def service_area(self, origins: Any, limit: float, *, max_distance: Optional[float] = None,
                     directed: bool = True) -> gpd.GeoDataFrame:
        """Every stretch of street within limit of the nearest origin point,
        streets cut where the limit falls."""
        view, nodes, split = self._flagged(origins, max_distance)
        edges, a, b = view.service_area(nodes, limit, directed=directed).fold(split).stretches
        return self.frame(edges, a, b)

    def trace(self, starts: Any, *, kind: str = "connected", max_distance: Optional[float] = None,
              **kw: Any) -> gpd.GeoDataFrame:
        """The streets a trace reaches from starts (node numbers, or points
        taken to the nearer end of their street)."""
        return self.frame(self.view().trace(self._nodes(starts, max_distance), kind=kind, **kw).edges)

    def components(self, kind: str = "weak") -> gpd.GeoDataFrame:
        """Every street with its component number ('component', 0 for none)."""
        comp = self.view().components(kind)
        edges = np.arange(1, self.network.edge_count + 1)
        return self.frame(edges, component=np.asarray(comp.edge_component))

    def isolate(self, where: Any, *, devices: Any, sources: Any, max_distance: Optional[float] = None,
                edge: bool = False) -> gpd.GeoDataFrame:
        """The streets cut off when the devices that isolate `where` (a node,
        an edge with edge=True, or a point) close; devices and sources as
        node numbers or points."""
        dev = self._nodes(devices, max_distance)
        src = self._nodes(sources, max_distance)
        if edge:
            iso = self.view().isolate(edge=int(where), devices=dev, sources=src)
        else:
            iso = self.view().isolate(node=int(self._nodes(where, max_distance)[0]), devices=dev, sources=src)
        return self.frame(iso.edges)

    def view(self, **kw: Any) -> Any:
        """network.view(**kw), made once for the default arguments."""
        if kw:
            return self.network.view(**kw)
        if self._view is None or not self._view.is_current:
            self._view = self.network.view()
        return self._view


def _points(points: Any) -> gpd.GeoSeries:
    if isinstance(points, gpd.GeoDataFrame):
        return points.geometry
    if isinstance(points, gpd.GeoSeries):
        return points
    if isinstance(points, Point):
        return gpd.GeoSeries([points])
    pts = list(points)
    if pts and not isinstance(pts[0], Point):
        pts = [Point(float(p[0]), float(p[1])) for p in pts]
    return gpd.GeoSeries(pts)


def from_geodataframe(frame: gpd.GeoDataFrame, *, tolerance: float = 0.0, cost: Optional[str] = None,
                      reverse_cost: Optional[str] = None, oneway: Optional[str] = None,
                      lonlat: Optional[bool] = None) -> GeoNetwork:
    """A GeoNetwork from a layer of lines: nodes where lines share a point
    within tolerance; cost and reverse_cost column names (default: ground
    length), oneway a column of 1 (along only), -1 (against only), 0 (both
    ways) or a bool mask (True: along only); lonlat from the layer's CRS when
    not given. Multi-part lines are exploded, each part keeping its index."""
    lines = frame
    if (lines.geom_type == "MultiLineString").any():
        lines = lines.explode(index_parts=False)
    bad = ~lines.geom_type.isin(["LineString"])
    if bad.any():
        raise ValueError("row %r is a %s, not a line" % (lines.index[bad.to_numpy()][0],
                                                        lines.geom_type[bad].iloc[0]))
    if lonlat is None:
        lonlat = bool(lines.crs is not None and lines.crs.is_geographic)
    xy, offsets = _line_coords(list(lines.geometry.values))
    kw = {}
    for name, col in (("cost", cost), ("reverse_cost", reverse_cost), ("oneway", oneway)):
        if col is not None:
            kw[name] = lines[col]
    net = _kelvane.Network.from_lines(xy, offsets=offsets, tolerance=tolerance, lonlat=lonlat, **kw)
    return GeoNetwork(lines, net)
