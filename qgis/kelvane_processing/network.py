"""A QGIS line layer as a kelvane network: reading the features, their
directions, speeds and turn restrictions; snapping points onto the edges; and
cutting edge geometry at the fractions the analyses return."""
import math

import numpy as np
from qgis.core import (
    QgsCoordinateTransform,
    QgsDistanceArea,
    QgsFeatureRequest,
    QgsGeometry,
    QgsPointXY,
    QgsProcessingException,
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
    feature) is feature_of[l]; edges run the way their line was digitised,
    except that lines whose direction is backward are turned round first, so
    that every one-way edge runs from its from node to its to node."""

    def __init__(self, source, settings, context, feedback, turn_pairs=None):
        self.settings = settings
        self.crs = source.sourceCrs()
        self.fields = source.fields()
        self.geographic = self.crs.isGeographic()
        self.feedback = feedback
        dir_idx = self.fields.lookupField(settings.direction_field) if settings.direction_field else -1
        speed_idx = self.fields.lookupField(settings.speed_field) if settings.speed_field else -1
        id_idx = self.fields.lookupField(settings.street_id_field) if settings.street_id_field else -1
        lines, line_feature, oneway, speed, flipped = [], [], [], [], []
        self.features = {}  # feature id -> attributes, for the outputs
        self.street_key = {}  # street id (field value or feature id) -> feature ids
        total = source.featureCount() or 1
        skipped = []
        for i, f in enumerate(source.getFeatures(QgsFeatureRequest())):
            if i % 2000 == 0:
                self.check(feedback)
                feedback.setProgress(20.0 * i / total)
            g = f.geometry()
            if g.isNull() or g.isEmpty():
                continue
            if QgsWkbTypes.geometryType(g.wkbType()) != QgsWkbTypes.LineGeometry:
                skipped.append((f.id(), "not a line"))
                continue
            parts = g.asMultiPolyline() if g.isMultipart() else [g.asPolyline()]
            way = settings.default_direction
            if dir_idx >= 0:
                v = f.attribute(dir_idx)
                v = "" if v is None else str(v)
                if v == settings.forward and settings.forward != "":
                    way = FORWARD
                elif v == settings.backward and settings.backward != "":
                    way = BACKWARD
                elif v == settings.both and settings.both != "":
                    way = BOTH
            kmh = settings.default_speed
            if speed_idx >= 0:
                try:
                    kmh = float(f.attribute(speed_idx))
                    if not kmh > 0 or not math.isfinite(kmh):
                        kmh = settings.default_speed
                except (TypeError, ValueError):
                    kmh = settings.default_speed
            added = False
            for part in parts:
                xy = np.array([(p.x(), p.y()) for p in part], dtype=float).reshape(-1, 2)
                if len(xy) < 2:
                    continue
                if not np.isfinite(xy).all():
                    skipped.append((f.id(), "a coordinate is not a number"))
                    added = None
                    break
                if way == BACKWARD:
                    xy = xy[::-1].copy()
                lines.append(xy)
                line_feature.append(f.id())
                oneway.append(0 if way == BOTH else 1)
                speed.append(kmh)
                flipped.append(way == BACKWARD)
                added = True
            if added is None:  # a bad part spoils the whole feature
                while line_feature and line_feature[-1] == f.id():
                    for column in (lines, line_feature, oneway, speed, flipped):
                        column.pop()
                continue
            if added:
                self.features[f.id()] = f.attributes()
                key = f.attribute(id_idx) if id_idx >= 0 else f.id()
                self.street_key.setdefault(key, []).append(f.id())
        for fid, why in skipped[:20]:
            feedback.reportError("Line feature %d left out: %s" % (fid, why))
        if len(skipped) > 20:
            feedback.reportError("... and %d more features left out" % (len(skipped) - 20))
        if not lines:
            raise QgsProcessingException("The network layer has no usable lines")
        self.lines = lines
        self.line_feature = np.array(line_feature, dtype=np.int64)
        self.line_flipped = np.array(flipped, dtype=bool)
        self.check(feedback)
        feedback.setProgressText("Noding %d lines" % len(lines))
        # Geographic layers are noded on lon/lat; their lengths are measured
        # below on the project's ellipsoid, not on the module's sphere.
        self.noding = kelvane.node_lines(lines, settings.tolerance, self.geographic)
        feedback.setProgress(35)
        self.check(feedback)
        nod = self.noding
        self.edge_line = np.asarray(nod.edge_line)
        self.edge_xy = [np.asarray(nod.edge_points(e)) for e in range(1, nod.edge_count + 1)]
        length = self._lengths(context)
        self.edge_length = length
        way = np.array(oneway, dtype=np.int8)[self.edge_line]
        if settings.strategy == 1:
            # The native fastest strategy: hours at the speed in km/h, lengths in metres.
            to_m = 1.0 if self.geographic else QgsUnitTypes.fromUnitToUnitFactor(self.crs.mapUnits(),
                                                                                  QgsUnitTypes.DistanceMeters)
            cost = length * to_m / (np.array(speed)[self.edge_line] * 1000.0)
        else:
            cost = length
        turns = self._turns(turn_pairs) if turn_pairs else None
        self.net = kelvane.Network.from_arrays(
            np.asarray(nod.from_nodes), np.asarray(nod.to_nodes), node_count=nod.node_count, cost=cost,
            up_state=(way == 1).astype(np.int8), down_state=np.zeros(len(way), np.int8), turns=turns)
        self.node_xy = np.asarray(nod.node_xy).copy()
        self._segments()
        self.split = None
        feedback.setProgress(45)

    @staticmethod
    def check(feedback):
        if feedback is not None and feedback.isCanceled():
            raise QgsProcessingException("Canceled")

    def _lengths(self, context):
        if not self.geographic:
            return np.array([np.hypot(*np.diff(p, axis=0).T).sum() for p in self.edge_xy])
        da = QgsDistanceArea()
        da.setSourceCrs(self.crs, context.transformContext())
        da.setEllipsoid(context.ellipsoid() if context.ellipsoid() not in ("", "NONE") else "WGS84")
        return np.array([da.measureLine([QgsPointXY(x, y) for x, y in p]) for p in self.edge_xy])

    def _turns(self, pairs):
        """Forbidden turns (node, from edge, to edge, -1) wherever an edge of
        the first street ends at a node where an edge of the second starts,
        in the directions the edges may be taken."""
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

    def _segments(self):
        """Every segment of every edge, for snapping points."""
        counts = np.array([len(p) - 1 for p in self.edge_xy])
        self.seg_a = np.vstack([p[:-1] for p in self.edge_xy])
        self.seg_d = np.vstack([np.diff(p, axis=0) for p in self.edge_xy])
        self.seg_edge = np.repeat(np.arange(1, len(self.edge_xy) + 1), counts)
        seg = np.hypot(self.seg_d[:, 0], self.seg_d[:, 1])
        before = np.cumsum(seg) - seg
        first = np.concatenate([[0], np.cumsum(counts)[:-1]])
        before -= np.repeat(before[first], counts)
        self.seg_len, self.seg_before = seg, before
        self.edge_planar = np.bincount(self.seg_edge, seg, minlength=len(self.edge_xy) + 1)[1:]
        self.xscale = 1.0
        if self.geographic:
            self.xscale = math.cos(math.radians(float(np.mean(self.seg_a[:, 1]))))

    def snap(self, xy):
        """The edge nearest the point (x, y), the fraction along it, the
        distance (layer units; metres for a geographic layer) and the
        snapped point."""
        q = np.asarray(xy, dtype=float)
        s = np.array([self.xscale, 1.0])
        a, d = self.seg_a * s, self.seg_d * s
        qq = q * s
        t = np.clip(np.einsum("ij,ij->i", qq - a, d) / np.maximum(np.einsum("ij,ij->i", d, d), 1e-300), 0.0, 1.0)
        dist = np.hypot(*(a + t[:, None] * d - qq).T)
        i = int(np.argmin(dist))
        e = int(self.seg_edge[i])
        frac = (self.seg_before[i] + t[i] * self.seg_len[i]) / max(self.edge_planar[e - 1], 1e-300)
        p = self.seg_a[i] + t[i] * self.seg_d[i]
        metres = dist[i] * (111320.0 if self.geographic else 1.0)
        return e, min(max(frac, 0.0), 1.0), metres, QgsPointXY(float(p[0]), float(p[1]))

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
        pts = self.edge_xy[edge - 1]
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
        feature_len = {}
        for e, line in enumerate(self.edge_line):
            fid = int(self.line_feature[line])
            feature_len[fid] = feature_len.get(fid, 0.0) + self.edge_length[e]
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
