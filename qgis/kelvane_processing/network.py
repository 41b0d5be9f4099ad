"""A QGIS line layer as a kelvane network: reading the features, their
directions, speeds and turn restrictions; snapping points onto the edges; and
cutting edge geometry at the fractions the analyses return."""
import math

import numpy as np
from qgis.core import (
    NULL,
    QgsCoordinateTransform,
    QgsFeatureRequest,
    QgsGeometry,
    QgsPointXY,
    QgsProcessingException,
    QgsProviderRegistry,
    QgsUnitTypes,
    QgsWkbTypes,
)

import kelvane

FORWARD, BACKWARD, BOTH = 0, 1, 2  # DEFAULT_DIRECTION's options


def point_text(p):
    """A point as the native algorithms write it in their start and end fields."""
    return "%.12g, %.12g" % (p.x(), p.y())


class Settings:
    """What the shared parameters ask for: how to read directions and speeds,
    the strategy, the tolerances."""

    def __init__(self, strategy=0, direction_field="", forward="", backward="", both="", default_direction=BOTH,
                 speed_field="", default_speed=50.0, tolerance=0.0, max_snap=0.0, street_id_field=""):
        self.strategy = strategy
        self.direction_field = direction_field or ""
        self.forward, self.backward, self.both = forward or "", backward or "", both or ""
        self.default_direction = default_direction
        self.speed_field = speed_field or ""
        self.default_speed = default_speed
        self.tolerance = tolerance
        self.max_snap = max_snap
        self.street_id_field = street_id_field or ""


class StreetNetwork:
    """The layer's lines noded into a kelvane network. Line l (a part of a
    feature) belongs to feature line_feature[l]; edges run the way their line
    was digitised, except that lines whose direction is backward are turned
    round first, so that every one-way edge runs from its from node to its to
    node. What is per line, segment or edge is held in numpy arrays: a city of
    20,000 streets is read in a fraction of a second."""

    def __init__(self, source, settings, context, feedback, turn_pairs=None, layer=None):
        self.settings = settings
        self.source = source
        self.crs = source.sourceCrs()
        self.fields = source.fields()
        self.geographic = self.crs.isGeographic()
        self.feedback = feedback
        names = [n for n in (settings.direction_field, settings.speed_field, settings.street_id_field) if n]
        feedback.setProgressText("Reading the lines")
        fids, wkbs, values = read_columns(source, layer, names, feedback)
        self.check(feedback)
        feedback.setProgress(15)
        xy, offsets, part_feature, not_line = parse_lines(wkbs)
        counts = np.diff(offsets)
        bad = np.zeros(len(fids), bool)
        bad[not_line] = True
        finite = np.isfinite(xy).all(axis=1)
        if not finite.all():
            bad_part = np.add.reduceat(~finite, offsets[:-1]) > 0 if len(counts) else np.zeros(0, bool)
            bad[part_feature[bad_part & (counts > 0)]] = True
        skipped = [(int(fids[i]), "not a line" if i in not_line else "a coordinate is not a number")
                   for i in np.flatnonzero(bad)]
        for fid, why in skipped[:20]:
            feedback.reportError("Line feature %d left out: %s" % (fid, why))
        if len(skipped) > 20:
            feedback.reportError("... and %d more features left out" % (len(skipped) - 20))
        way = np.full(len(fids), settings.default_direction, np.int8)
        if settings.direction_field:
            text = np.array([_text(v) for v in values[settings.direction_field]], dtype=object)
            for value, kind in ((settings.forward, FORWARD), (settings.backward, BACKWARD), (settings.both, BOTH)):
                if value != "":
                    way[text == value] = kind
        speed = np.full(len(fids), float(settings.default_speed))
        if settings.speed_field:
            given = np.array([_float(v) for v in values[settings.speed_field]])
            ok = np.isfinite(given) & (given > 0)
            speed[ok] = given[ok]
        self.street_key = {}  # street id (field value or feature id) -> feature ids, for turn restrictions
        if turn_pairs:
            keys = values[settings.street_id_field] if settings.street_id_field else fids.tolist()
            for key, fid in zip(keys, fids.tolist()):
                self.street_key.setdefault(_text(key) if isinstance(key, bytes) else key, []).append(fid)
        use = (counts >= 2) & ~bad[part_feature]
        if not use.any():
            raise QgsProcessingException("The network layer has no usable lines")
        if not use.all():
            rows = np.repeat(use, counts)
            xy, counts, part_feature = xy[rows], counts[use], part_feature[use]
            offsets = np.concatenate([[0], np.cumsum(counts)])
        flip = way[part_feature] == BACKWARD
        for s0, s1 in zip(offsets[:-1][flip], offsets[1:][flip]):
            xy[s0:s1] = xy[s0:s1][::-1].copy()
        way_of_line, speed_of_line = way[part_feature], speed[part_feature]
        self.line_count = len(counts)
        self.line_feature = fids[part_feature]
        self.line_flipped = flip
        self.check(feedback)
        feedback.setProgressText("Noding %d lines" % self.line_count)
        self.noding = nod = kelvane.node_lines(xy, settings.tolerance, self.geographic,
                                               offsets=offsets.astype(np.int32))
        feedback.setProgress(35)
        self.check(feedback)
        self.edge_line = np.asarray(nod.edge_line)
        self.edge_from = np.asarray(nod.edge_from_fraction)
        self.edge_to = np.asarray(nod.edge_to_fraction)
        self._points = {}  # edge -> its points, made when first asked for
        self._segments(xy, offsets)
        self.edge_length = self._lengths(context)
        way = np.array(way_of_line)[self.edge_line]
        if settings.strategy == 1:
            # The native fastest strategy: hours at the speed in km/h, lengths in metres.
            to_m = 1.0 if self.geographic else QgsUnitTypes.fromUnitToUnitFactor(self.crs.mapUnits(),
                                                                                  QgsUnitTypes.DistanceMeters)
            cost = self.edge_length * to_m / (np.array(speed_of_line)[self.edge_line] * 1000.0)
        else:
            cost = self.edge_length
        turns = self._turns(turn_pairs) if turn_pairs else None
        # Going against an edge needs its up state open: closed on one-way edges.
        self.net = kelvane.Network.from_arrays(
            np.asarray(nod.from_nodes), np.asarray(nod.to_nodes), node_count=nod.node_count, cost=cost,
            up_state=(way != BOTH).astype(np.int8), down_state=np.zeros(len(way), np.int8), turns=turns)
        self.node_xy = np.asarray(nod.node_xy).copy()
        self.split = None
        feedback.setProgress(45)

    @staticmethod
    def check(feedback):
        if feedback is not None and feedback.isCanceled():
            raise QgsProcessingException("Canceled")

    def edge_points(self, e):
        pts = self._points.get(e)
        if pts is None:
            pts = self._points[e] = np.array(self.noding.edge_points(e))
        return pts

    def _edge_of(self, line, frac):
        """The edges (1-based; 0 for none) covering the given planar fractions
        of the given lines, and the fractions along those edges."""
        k = np.searchsorted(self._edge_keys, line * 2.0 + frac, side="right") - 1
        order = self._edge_order[np.clip(k, 0, len(self._edge_keys) - 1)]
        ok = self.edge_line[order] == line
        span = np.maximum(self.edge_to[order] - self.edge_from[order], 1e-300)
        f = np.clip((frac - self.edge_from[order]) / span, 0.0, 1.0)
        return np.where(ok, order + 1, 0), f

    def _segments(self, xy, offsets):
        """Every segment of every line, with the stretch of its line it
        covers, for snapping points and measuring edges."""
        self._edge_order = np.lexsort((self.edge_from, self.edge_line))
        self._edge_keys = self.edge_line[self._edge_order] * 2.0 + self.edge_from[self._edge_order]
        per_line = np.diff(offsets) - 1
        keep = np.ones(len(xy) - 1, bool)
        keep[offsets[1:-1] - 1] = False  # from a line's last point to the next line's first
        self.seg_a, self.seg_d = xy[:-1][keep], np.diff(xy, axis=0)[keep]
        self.seg_line = np.repeat(np.arange(self.line_count), per_line)
        seg = np.hypot(self.seg_d[:, 0], self.seg_d[:, 1])
        line_len = np.maximum(np.bincount(self.seg_line, seg, minlength=self.line_count), 1e-300)
        done = np.cumsum(seg)
        first = np.concatenate([[0], np.cumsum(per_line)[:-1]])  # each line's first segment
        before = done - seg - np.repeat((done - seg)[np.minimum(first, len(seg) - 1)], per_line)
        self.seg_frac0 = before / line_len[self.seg_line]
        self.seg_frac1 = (before + seg) / line_len[self.seg_line]
        # Snapping only onto lines the noding kept (not shorter than the tolerance).
        self.seg_usable = np.isin(self.seg_line, self.edge_line)
        self.xscale = math.cos(math.radians(float(np.mean(self.seg_a[:, 1])))) if self.geographic else 1.0

    def _lengths(self, context):
        if not self.geographic:
            return np.asarray(self.noding.edge_length, dtype=float)
        # Each segment on the ellipsoid, summed over the edge it lies in
        # (edges end at vertices: no segment is shared by two).
        from pyproj import Geod

        name = context.ellipsoid() if context.ellipsoid() not in ("", "NONE") else "WGS84"
        try:
            geod = Geod(ellps={"EPSG:7030": "WGS84"}.get(name, name))
        except Exception:  # noqa: BLE001 - pyproj names fewer ellipsoids than QGIS
            self.feedback.pushInfo("Ellipsoid %s not known here: lengths on WGS 84" % name)
            geod = Geod(ellps="WGS84")
        b = self.seg_a + self.seg_d
        _, _, d = geod.inv(self.seg_a[:, 0], self.seg_a[:, 1], b[:, 0], b[:, 1])
        edge, _ = self._edge_of(self.seg_line, (self.seg_frac0 + self.seg_frac1) / 2)
        return np.bincount(edge, np.abs(d), minlength=len(self.edge_line) + 1)[1:]

    def _turns(self, pairs):
        """Forbidden turns (node, from edge, to edge, -1) wherever an edge of
        the first street meets an edge of the second."""
        edges_of_feature = {}
        for e, line in enumerate(self.edge_line, start=1):
            edges_of_feature.setdefault(int(self.line_feature[line]), []).append(e)
        fr, to = np.asarray(self.noding.from_nodes), np.asarray(self.noding.to_nodes)
        rows = []
        unknown = 0
        for a, b in pairs:
            fa = self.street_key.get(a) or self.street_key.get(_number(a))
            fb = self.street_key.get(b) or self.street_key.get(_number(b))
            if not fa or not fb:
                unknown += 1
                continue
            ea = [e for f in fa for e in edges_of_feature.get(f, [])]
            eb = [e for f in fb for e in edges_of_feature.get(f, [])]
            for x in ea:
                for y in eb:
                    if x == y:
                        continue
                    for n in {fr[x - 1], to[x - 1]} & {fr[y - 1], to[y - 1]}:
                        rows.append((int(n), x, y, -1.0))
        if unknown:
            self.feedback.reportError("%d turn restrictions name a street the layer does not have; left out" % unknown)
        if not rows:
            return None
        t = np.array(rows)
        return (t[:, 0].astype(np.int32), t[:, 1].astype(np.int32), t[:, 2].astype(np.int32), t[:, 3])

    def snap(self, xy):
        """The edge nearest the point (x, y), the fraction along it, the
        distance (layer units; metres for a geographic layer) and the
        snapped point."""
        q = np.asarray(xy, dtype=float)
        sc = np.array([self.xscale, 1.0])
        a, d = self.seg_a * sc, self.seg_d * sc
        qq = q * sc
        t = np.clip(np.einsum("ij,ij->i", qq - a, d) / np.maximum(np.einsum("ij,ij->i", d, d), 1e-300), 0.0, 1.0)
        dist = np.hypot(*(a + t[:, None] * d - qq).T)
        dist[~self.seg_usable] = np.inf
        i = int(np.argmin(dist))
        frac = self.seg_frac0[i] + t[i] * (self.seg_frac1[i] - self.seg_frac0[i])
        e, f = self._edge_of(np.array([self.seg_line[i]]), np.array([frac]))
        p = self.seg_a[i] + t[i] * self.seg_d[i]
        metres = dist[i] * (111320.0 if self.geographic else 1.0)
        return int(e[0]), float(f[0]), metres, QgsPointXY(float(p[0]), float(p[1]))

    def snap_points(self, points, what):
        """Snaps points (QgsPointXY) onto the network; refuses, through an
        exception naming the point, one farther than the largest snap
        distance when that is set."""
        out = []
        for k, p in enumerate(points):
            e, f, dist, at = self.snap((p.x(), p.y()))
            if self.settings.max_snap > 0 and dist > self.settings.max_snap:
                raise QgsProcessingException(
                    "%s %s is %.2f from the nearest line, farther than the largest snap distance %g"
                    % (what if len(points) == 1 else "%s %d" % (what, k + 1), point_text(p), dist,
                       self.settings.max_snap))
            out.append((e, f, at))
        return out

    def map_points(self, snapped):
        """Puts a node at every snapped point (one call: the edges split once)
        and returns the nodes, in order. The network's split index folds the
        results back onto the layer's edges."""
        nodes = np.zeros(len(snapped), np.int32)
        fr, to = np.asarray(self.noding.from_nodes), np.asarray(self.noding.to_nodes)
        inner = []
        for k, (e, f, _) in enumerate(snapped):
            # A point on a line's end is that node: a flag there would hang on
            # a piece of no length, one-way if its edge is, cut off one way.
            if f <= 1e-12:
                nodes[k] = fr[e - 1]
            elif f >= 1.0 - 1e-12:
                nodes[k] = to[e - 1]
            else:
                inner.append(k)
        # Points at one spot share one node: two nodes there would be joined
        # by a piece of no length that a one-way edge lets one cross one way.
        spots = sorted({(snapped[k][0], snapped[k][1]) for k in inner})
        if spots:
            mapping = self.net.map_flags(edge_flags=([e for e, _ in spots], [f for _, f in spots]))
            self.split = mapping.split
            node_of = dict(zip(spots, np.asarray(mapping.nodes)))
            for k in inner:
                nodes[k] = node_of[(snapped[k][0], snapped[k][1])]
        return nodes

    def view(self):
        return self.net.view("cost", split=self.split)

    def original(self, edge):
        """(layer edge, from fraction, to fraction) of an edge of the mapped network."""
        if self.split is None:
            return int(edge), 0.0, 1.0
        return self.split.original(int(edge))

    def cut(self, edge, f0, f1):
        """The stretch of layer edge `edge` from fraction f0 to f1 of its
        length (reversed when f0 > f1), as (k, 2) points."""
        pts = self.edge_points(edge)
        along = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
        at = np.array([f0, f1]) * along[-1]
        lo, hi = min(at), max(at)
        inner = pts[(along > lo) & (along < hi)]
        ends = np.column_stack([np.interp(at, along, pts[:, 0]), np.interp(at, along, pts[:, 1])])
        return np.vstack([ends[:1], inner if f0 <= f1 else inner[::-1], ends[1:]])

    def path_points(self, path):
        """The polyline of a found path, from its source to its target."""
        edges, f0, f1, _ = path.fold(self.split) if self.split is not None else (
            path.edges, np.where(path.along, 0.0, 1.0), np.where(path.along, 1.0, 0.0), path.costs)
        parts = [self.cut(int(e), a, b) for e, a, b in zip(edges, f0, f1)]
        if not parts:
            return None
        pts = np.vstack(parts)
        keep = np.ones(len(pts), bool)
        keep[1:] = np.any(np.diff(pts, axis=0) != 0, axis=1)
        return pts[keep]

    def reached_streets(self, ranges):
        """ranges: {layer edge: [(lo, hi), ...]} fractions reached. Returns
        {feature id: (polylines, fraction of the feature's length reached)}
        with the polylines in the feature's own direction."""
        fids, inverse = np.unique(self.line_feature[self.edge_line], return_inverse=True)
        lengths = np.bincount(inverse, self.edge_length)
        feature_len = dict(zip(fids.tolist(), lengths.tolist()))
        out = {}
        for e, spans in ranges.items():
            spans = sorted(spans)
            merged = []
            for lo, hi in spans:
                if merged and lo <= merged[-1][1] + 1e-12:
                    merged[-1][1] = max(merged[-1][1], hi)
                else:
                    merged.append([lo, hi])
            line = self.edge_line[e - 1]
            fid = int(self.line_feature[line])
            flip = bool(self.line_flipped[line])
            polys, share = out.setdefault(fid, ([], [0.0]))
            for lo, hi in merged:
                if hi - lo <= 0:
                    continue
                pts = self.cut(e, lo, hi)
                polys.append(pts[::-1] if flip else pts)
                share[0] += (hi - lo) * self.edge_length[e - 1]
        return {fid: (polys, min(1.0, share[0] / feature_len[fid]) if feature_len[fid] > 0 else 1.0)
                for fid, (polys, share) in out.items()}

    def attributes(self, fids):
        """{feature id: attributes} of the given features of the layer."""
        request = QgsFeatureRequest().setFilterFids(list(fids)).setFlags(QgsFeatureRequest.NoGeometry)
        return {f.id(): f.attributes() for f in self.source.getFeatures(request)}


def read_columns(source, layer, names, feedback=None, fast=True):
    """(feature ids, WKB geometries, {field name: values}) of every feature of
    the source, with the given fields only. A whole OGR layer (no selection,
    subset or filter) is read through GDAL's column reader at once; any other
    source feature by feature."""
    cols = _ogr_columns(source, layer, names, feedback) if fast else None
    if cols is not None:
        return cols
    idx = [source.fields().lookupField(n) for n in names]
    request = QgsFeatureRequest().setSubsetOfAttributes(idx)
    fids, wkbs, values = [], [], [[] for _ in names]
    total = max(1, source.featureCount())
    for i, f in enumerate(source.getFeatures(request)):
        if i % 5000 == 0 and feedback is not None:
            StreetNetwork.check(feedback)
            feedback.setProgress(15.0 * i / total)
        g = f.geometry()
        if g.isNull() or g.isEmpty():
            continue
        fids.append(f.id())
        wkbs.append(bytes(g.asWkb()))
        for v, i in zip(values, idx):
            v.append(f.attribute(i))
    return np.array(fids, np.int64), wkbs, dict(zip(names, values))


def _ogr_columns(source, layer, names, feedback):
    if layer is None or layer.providerType() != "ogr" or layer.subsetString() or \
            source.featureCount() != layer.featureCount() or source.sourceCrs() != layer.crs():
        return None
    try:
        from osgeo import ogr

        parts = QgsProviderRegistry.instance().decodeUri("ogr", layer.source())
        ds = ogr.Open(parts["path"])
        lyr = ds.GetLayerByName(parts["layerName"]) if parts.get("layerName") else ds.GetLayer(
            int(parts.get("layerId") or 0))
        if lyr is None or lyr.GetFIDColumn() == "" or not hasattr(lyr, "GetArrowStreamAsNumPy"):
            return None
        for n in names:
            # The column reader gives a null as 0 or "": such a layer is read
            # feature by feature, where a null direction takes the default.
            nulls = ds.ExecuteSQL('SELECT COUNT(*) FROM "%s" WHERE "%s" IS NULL' % (lyr.GetName(), n))
            count = nulls.GetNextFeature().GetField(0) if nulls is not None else 1
            ds.ReleaseResultSet(nulls)
            if count:
                return None
        defn = lyr.GetLayerDefn()
        all_fields = [defn.GetFieldDefn(i).GetName() for i in range(defn.GetFieldCount())]
        lyr.SetIgnoredFields([n for n in all_fields if n not in names])
        geom = lyr.GetGeometryColumn() or "wkb_geometry"
        fids, wkbs, values = [], [], {n: [] for n in names}
        for batch in lyr.GetArrowStreamAsNumPy(options=["INCLUDE_FID=YES", "GEOMETRY_ENCODING=WKB"]):
            if feedback is not None:
                StreetNetwork.check(feedback)
                feedback.setProgress(15.0 * len(wkbs) / max(1, source.featureCount()))
            got = [b"" if g is None else bytes(g) for g in batch[geom]]  # numpy voids, or None
            keep = np.array([len(g) > 0 for g in got], bool)
            fids.append(np.asarray(batch[lyr.GetFIDColumn()])[keep])
            wkbs.extend(g for g in got if g)
            for n in names:
                values[n].extend(np.asarray(batch[n])[keep].tolist())
        ds = None
        if len(wkbs) != source.featureCount():
            return None  # empty geometries: counted feature by feature instead
        return (np.concatenate(fids).astype(np.int64) if fids else np.zeros(0, np.int64)), wkbs, values
    except QgsProcessingException:
        raise  # canceled
    except Exception:  # noqa: BLE001 - any surprise: read through QGIS instead
        return None


def parse_lines(wkbs):
    """The points of every part of every WKB line: (xy (P, 2), part offsets
    (L + 1), feature index of each part (L), features that are no line).
    2D line strings and single-part multi-line strings, little-endian, go in
    one numpy gather; anything else through QGIS."""
    n = len(wkbs)
    lengths = np.fromiter((len(w) for w in wkbs), np.int64, n)
    buf = np.frombuffer(b"".join(wkbs), np.uint8)
    starts = np.concatenate([[0], np.cumsum(lengths)[:-1]]).astype(np.int64)

    def u32(at):
        idx = at[:, None] + np.arange(4)
        return buf[idx].copy().view("<u4").ravel() if len(at) else np.zeros(0, np.uint32)

    simple = np.zeros(n, bool)
    head = np.zeros(n, np.int64)
    if n:
        order = buf[starts]
        kind = u32(starts + 1)
        simple = (order == 1) & (kind == 2)
        multi = (order == 1) & (kind == 5) & (lengths >= 18)
        multi[multi] = u32(starts[multi] + 5) == 1
        inner = np.where(multi, starts + 9, starts)
        multi[multi] = (buf[inner[multi]] == 1) & (u32(inner[multi] + 1) == 2)
        simple |= multi
        head = np.where(multi, 9, 0)
    at = starts + head
    count = np.zeros(n, np.int64)
    count[simple] = u32(at[simple] + 5)
    simple &= lengths == head + 9 + 16 * count
    xy_parts, feature_of, counts = [], [], []
    if simple.any():
        s_at, s_count = at[simple] + 9, count[simple]
        total = int(s_count.sum())
        first = np.repeat(s_at, s_count * 16)
        within = np.arange(total * 16) - np.repeat(np.cumsum(s_count * 16) - s_count * 16, s_count * 16)
        xy_parts.append(buf[first + within].copy().view("<f8").reshape(-1, 2))
        feature_of.append(np.flatnonzero(simple))
        counts.append(s_count)
    not_line = []
    for i in np.flatnonzero(~simple):
        g = QgsGeometry()
        g.fromWkb(wkbs[i])
        parts = _parts(g)
        if parts is None:
            not_line.append(int(i))
            continue
        for p in parts:
            xy_parts.append(p)
            feature_of.append(np.array([i]))
            counts.append(np.array([len(p)]))
    if not xy_parts:
        return np.zeros((0, 2)), np.zeros(1, np.int64), np.zeros(0, np.int64), not_line
    feature_of = np.concatenate(feature_of)
    counts = np.concatenate(counts)
    xy = np.vstack(xy_parts)
    # Parts in feature order, so that each feature's parts sit together.
    order = np.argsort(feature_of, kind="stable")
    offs = np.concatenate([[0], np.cumsum(counts)])
    xy = np.vstack([xy[offs[k]:offs[k + 1]] for k in order]) if not np.all(order == np.arange(len(order))) else xy
    counts, feature_of = counts[order], feature_of[order]
    return xy, np.concatenate([[0], np.cumsum(counts)]).astype(np.int64), feature_of, not_line


def _text(v):
    if v is None or v == NULL:
        return ""
    return v.decode() if isinstance(v, bytes) else str(v)


def _float(v):
    try:
        return float(v)
    except (TypeError, ValueError):
        return math.nan


def _parts(g):
    """The (k, 2) points of each part of a line geometry, curves segmentised;
    None for a geometry that is not a line."""
    if QgsWkbTypes.geometryType(g.wkbType()) != QgsWkbTypes.LineGeometry:
        return None
    flat = QgsWkbTypes.flatType(g.wkbType())
    if flat not in (QgsWkbTypes.LineString, QgsWkbTypes.MultiLineString):
        g = QgsGeometry(g.constGet().segmentize())
        flat = QgsWkbTypes.flatType(g.wkbType())
    return _wkb_lines(bytes(g.asWkb()), 0, flat == QgsWkbTypes.MultiLineString)[0]


def _wkb_lines(wkb, at, multi):
    """Parses the (multi) line string at byte `at` of ISO WKB: ([points], end)."""
    order = "<" if wkb[at] == 1 else ">"
    kind = int(np.frombuffer(wkb, order + "u4", 1, at + 1)[0])
    n = int(np.frombuffer(wkb, order + "u4", 1, at + 5)[0])
    if multi:
        out, at = [], at + 9
        for _ in range(n):
            part, at = _wkb_lines(wkb, at, False)
            out.extend(part)
        return out, at
    dim = {0: 2, 1: 3, 2: 3, 3: 4}[kind // 1000]
    pts = np.frombuffer(wkb, order + "f8", n * dim, at + 9).reshape(n, dim)[:, :2].astype(float)
    return [pts], at + 9 + 8 * n * dim


def _number(v):
    try:
        return int(v)
    except (TypeError, ValueError):
        return None


def polyline(pts):
    return [QgsPointXY(float(x), float(y)) for x, y in pts]


def multiline(parts):
    return QgsGeometry.fromMultiPolylineXY([polyline(p) for p in parts])


def source_points(source, crs, context, feedback, what):
    """Every point of a point source in crs (reprojected when the source's CRS
    differs), with its feature: [(QgsPointXY, feature)]. Features without a
    usable point are reported and left out."""
    xform = None
    if source.sourceCrs().isValid() and crs.isValid() and source.sourceCrs() != crs:
        xform = QgsCoordinateTransform(source.sourceCrs(), crs, context.transformContext())
        feedback.pushInfo("%s reprojected from %s to the network's %s" % (what, source.sourceCrs().authid(),
                                                                         crs.authid()))
    out = []
    for f in source.getFeatures():
        g = f.geometry()
        if g.isNull() or g.isEmpty():
            feedback.reportError("%s feature %d has no geometry; left out" % (what, f.id()))
            continue
        if xform is not None:
            g = QgsGeometry(g)
            g.transform(xform)
        for p in (g.asMultiPoint() if g.isMultipart() else [g.asPoint()]):
            if not (math.isfinite(p.x()) and math.isfinite(p.y())):
                feedback.reportError("%s feature %d: a coordinate is not a number; left out" % (what, f.id()))
                continue
            out.append((QgsPointXY(p), f))
    return out
