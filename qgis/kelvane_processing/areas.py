"""Service areas from a point and from a layer of points."""
import numpy as np
from qgis.core import (
    QgsFeature,
    QgsField,
    QgsFields,
    QgsGeometry,
    QgsPointXY,
    QgsProcessing,
    QgsProcessingException,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterDefinition,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterNumber,
    QgsProcessingParameterPoint,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QVariant

from .base import KelvaneAlgorithm
from .network import multiline, point_text

AREA_HELP = (
    "Every street or part of a street within the travel cost of the start, cut where the limit falls. The "
    "lines have the native output's shape (one multi-line per start, type 'lines'); the optional streets "
    "output gives each street reached once, with the network layer's attributes and the fraction of its "
    "length reached. Boundary nodes are the network's nodes (line ends and meeting points), not every vertex. "
    "The native lines reach the same places, but their union measures some 5 % to 12 % longer: from every "
    "vertex reached the native algorithm writes each segment leaving it, whole or up to the limit, so a "
    "segment reached from both ends comes out twice, whole from one end and cut from the other, or cut from "
    "both with the cuts overlapping. The cut ends are interpolated and lie off the segment by rounding, so a "
    "union no longer sees the pieces as overlapping and counts the overlap again. Measured along the "
    "segments, the native lines cover what these cover.")


class _Area(KelvaneAlgorithm):
    def area_parameters(self, from_layer):
        self.add_network_parameters()
        if from_layer:
            self.add(QgsProcessingParameterFeatureSource("START_POINTS", "Vector layer with start points",
                                                         [QgsProcessing.TypeVectorPoint]),
                     "One area from every point of this layer (reprojected to the network's CRS if need be).")
        else:
            self.add(QgsProcessingParameterPoint("START_POINT", "Start point"), "Where the area starts.")
        old = QgsProcessingParameterNumber("TRAVEL_COST", "Travel cost (distance for 'Shortest', time for "
                                           "'Fastest')", QgsProcessingParameterNumber.Double, 0.0, True, 0)
        old.setFlags(old.flags() | QgsProcessingParameterDefinition.FlagHidden)
        self.addParameter(old)  # the native algorithms' old name, still read
        self.add(QgsProcessingParameterNumber("TRAVEL_COST2", "Travel cost (distance for 'Shortest', time for "
                                              "'Fastest')", QgsProcessingParameterNumber.Double, 0.0, False, 0),
                 "The limit: a length in the layer's units (Shortest) or a time in hours (Fastest).")
        self.add(QgsProcessingParameterBoolean("INCLUDE_BOUNDS", "Include upper/lower bound points", False),
                 "Add to the boundary nodes the points where the limit falls (upper) and the last vertex "
                 "before each (lower).")
        self.add_extra_parameters(turns=False)
        self.add(QgsProcessingParameterFeatureSink("OUTPUT_LINES", "Service area (lines)",
                                                   QgsProcessing.TypeVectorLine, optional=True),
                 "The lines reached, one multi-line per start.")
        self.add(QgsProcessingParameterFeatureSink("OUTPUT", "Service area (boundary nodes)",
                                                   QgsProcessing.TypeVectorPoint, optional=True),
                 "The nodes within the limit (type 'within'), and with bounds the 'upper' and 'lower' points.")
        self.add(QgsProcessingParameterFeatureSink("OUTPUT_STREETS", "Service area (streets)",
                                                   QgsProcessing.TypeVectorLine, optional=True,
                                                   createByDefault=False),
                 "Each street reached, with its attributes and the fraction of its length reached.")

    def areas(self, parameters, context, feedback, from_layer):
        source, net = self.network(parameters, context, feedback)
        if from_layer:
            starts = self.points_of(parameters, "START_POINTS", context, net, feedback, "Start point")
        else:
            starts = [(self.point_of(parameters, "START_POINT", context, net), None)]
        if not starts:
            raise QgsProcessingException("No start points")
        limit = self.parameterAsDouble(parameters, "TRAVEL_COST2", context)
        if parameters.get("TRAVEL_COST") not in (None, ""):
            limit = self.parameterAsDouble(parameters, "TRAVEL_COST", context)
        bounds = self.parameterAsBool(parameters, "INCLUDE_BOUNDS", context)
        snaps = net.snap_points([p for p, _ in starts], "Start point")
        bar = self.barrier_snaps(parameters, context, net, feedback)
        nodes = net.map_points(snaps + bar)
        view = net.view()
        s_nodes, b_nodes = nodes[:len(starts)], nodes[len(starts):]
        extra_xy = {int(n): (at.x(), at.y()) for n, (_, _, at) in zip(nodes, snaps + bar)}
        base = starts[0][1].fields() if from_layer and starts[0][1] is not None else None
        fields = QgsFields(base) if base is not None else QgsFields()
        fields.append(QgsField("type", QVariant.String))
        fields.append(QgsField("start", QVariant.String))
        sfields = QgsFields(source.fields())
        sfields.append(QgsField("start", QVariant.String))
        sfields.append(QgsField("fraction", QVariant.Double))
        lines_sink, lines_dest = self.parameterAsSink(parameters, "OUTPUT_LINES", context, fields,
                                                      QgsWkbTypes.MultiLineString, net.crs)
        pts_sink, pts_dest = self.parameterAsSink(parameters, "OUTPUT", context, fields, QgsWkbTypes.MultiPoint,
                                                  net.crs)
        st_sink, st_dest = self.parameterAsSink(parameters, "OUTPUT_STREETS", context, sfields,
                                                QgsWkbTypes.MultiLineString, net.crs)
        feedback.setProgress(50)
        for k, (p, feat) in enumerate(starts):
            net.check(feedback)
            area = self.stoppable(feedback, 50 + 50.0 * k / len(starts), 50 + 50.0 * (k + 0.5) / len(starts),
                                  view.service_area, [int(s_nodes[k])], limit, barrier_nodes=b_nodes)
            ranges, upper, lower = {}, [], []
            self._up_to_barriers(net, view, area, b_nodes, limit, ranges)
            if net.split is not None:
                area = area.fold(net.split)
            attrs = list(feat.attributes()) if feat is not None else []
            for e, a, b in zip(area.edges, area.from_fraction, area.to_fraction):
                e = int(e)
                if a + b >= 1.0 or a >= 1.0 or b >= 1.0:
                    ranges[e] = [(0.0, 1.0)]
                    continue
                spans = ranges.setdefault(e, [])
                if spans == [(0.0, 1.0)]:
                    continue
                for lo, hi, at in ((0.0, a, a), (1.0 - b, 1.0, 1.0 - b)):
                    if hi > lo:
                        spans.append((lo, hi))
                        if bounds:
                            upper.append(net.cut(e, at, at)[0])
                            lower.append(self._vertex_before(net, e, at, at == a))
            parts = [net.cut(e, lo, hi) for e, spans in ranges.items() for lo, hi in spans]
            text = point_text(p)
            if lines_sink is not None:
                f = QgsFeature(fields)
                f.setGeometry(multiline(parts))
                f.setAttributes(attrs + ["lines", text])
                self.sink_add(lines_sink, f)
            if pts_sink is not None:
                within = [tuple(net.node_xy[n - 1]) if n <= len(net.node_xy) else extra_xy[int(n)]
                          for n in np.asarray(area.nodes)]
                groups = [("within", within)] + ([("upper", upper), ("lower", lower)] if bounds else [])
                for kind, xy in groups:
                    if not len(xy):
                        continue
                    f = QgsFeature(fields)
                    f.setGeometry(QgsGeometry.fromMultiPointXY([QgsPointXY(float(x), float(y)) for x, y in xy]))
                    f.setAttributes(attrs + [kind, text])
                    self.sink_add(pts_sink, f)
            if st_sink is not None:
                reached = net.reached_streets(ranges)
                street_attrs = net.attributes(reached)
                for fid, (polys, share) in sorted(reached.items()):
                    f = QgsFeature(sfields)
                    f.setGeometry(multiline(polys))
                    f.setAttributes(list(street_attrs[fid]) + [text, float(share)])
                    self.sink_add(st_sink, f)
            feedback.setProgress(50 + 50.0 * (k + 1) / len(starts))
        return {"OUTPUT_LINES": lines_dest, "OUTPUT": pts_dest, "OUTPUT_STREETS": st_dest}

    @staticmethod
    def _up_to_barriers(net, view, area, barriers, limit, ranges):
        """The area search does not enter a barrier's node, nor write the
        pieces leading to it; the streets are reached up to the barrier all
        the same, as far as the limit allows. Adds those stretches to ranges
        ({layer edge: [(lo, hi)]})."""
        if not len(barriers):
            return
        cost_of = dict(zip(np.asarray(area.nodes).tolist(), np.asarray(area.costs).tolist()))
        along = view.edge_cost(True)
        up = net.net.up_state
        one_way = np.asarray(up).copy()
        del up  # a view of the network's table; none may outlive a later flag mapping
        for b in set(int(n) for n in barriers):
            for piece in np.asarray(net.net.edges_at(b)).tolist():
                fa, ta = net.net.edge_ends(piece)
                other = fa if ta == b else ta
                if other == b or other not in cost_of or (other == ta and one_way[piece - 1]):
                    continue  # not reached, or one-way towards the other end
                share = min(1.0, max(0.0, (limit - cost_of[other]) / along[piece - 1])) if along[piece - 1] > 0 \
                    else 1.0
                o, f0, f1 = net.original(piece)
                end = f0 + share * (f1 - f0) if other == fa else f1 + share * (f0 - f1)
                start = f0 if other == fa else f1
                ranges.setdefault(int(o), []).append((min(start, end), max(start, end)))

    @staticmethod
    def _vertex_before(net, e, at, from_start):
        """The last vertex of edge e passed before the limit at fraction `at`,
        walking from the from node (from_start) or from the to node."""
        pts = net.edge_points(e)
        along = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
        x = at * along[-1]
        i = np.searchsorted(along, x, side="right") - 1 if from_start else np.searchsorted(along, x, side="left")
        return pts[int(min(max(i, 0), len(pts) - 1))]


class ServiceAreaFromPoint(_Area):
    HELP = AREA_HELP

    def name(self):
        return "serviceareafrompoint"

    def displayName(self):  # noqa: N802
        return "Service area (from point)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.area_parameters(False)

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.areas(parameters, context, feedback, False)


class ServiceAreaFromLayer(_Area):
    HELP = AREA_HELP + " One area per start point, each with the start point's attributes."

    def name(self):
        return "serviceareafromlayer"

    def displayName(self):  # noqa: N802
        return "Service area (from layer)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.area_parameters(True)

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.areas(parameters, context, feedback, True)
