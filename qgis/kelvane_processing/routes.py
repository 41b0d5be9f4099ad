"""Least-cost routes: point to point, point to layer, layer to point, and the
origin-destination cost matrix."""
import math

import numpy as np
from qgis.core import (
    QgsFeature,
    QgsField,
    QgsFields,
    QgsGeometry,
    QgsProcessing,
    QgsProcessingException,
    QgsProcessingOutputNumber,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterField,
    QgsProcessingParameterPoint,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QVariant

from .base import KelvaneAlgorithm
from .network import point_text, polyline

ROUTE_HELP = ("Costs count from where each point snaps onto the nearest line, as the native algorithms count "
              "them. Barrier points close the network where they snap; turn restrictions forbid going from one "
              "street onto another.")


def route_fields(fields=None):
    out = QgsFields(fields) if fields is not None else QgsFields()
    out.append(QgsField("start", QVariant.String))
    out.append(QgsField("end", QVariant.String))
    out.append(QgsField("cost", QVariant.Double))
    return out


class _Route(KelvaneAlgorithm):
    """The three route algorithms: one start or many, one end or many."""

    def route_parameters(self, start, end):
        self.add_network_parameters()
        if start == "point":
            self.add(QgsProcessingParameterPoint("START_POINT", "Start point"), "Where the route starts.")
        else:
            self.add(QgsProcessingParameterFeatureSource("START_POINTS", "Vector layer with start points",
                                                         [QgsProcessing.TypeVectorPoint]),
                     "A route from every point of this layer (reprojected to the network's CRS if need be).")
        if end == "point":
            self.add(QgsProcessingParameterPoint("END_POINT", "End point"), "Where the route ends.")
        else:
            self.add(QgsProcessingParameterFeatureSource("END_POINTS", "Vector layer with end points",
                                                         [QgsProcessing.TypeVectorPoint]),
                     "A route to every point of this layer (reprojected to the network's CRS if need be).")
        self.add_extra_parameters()
        self.add(QgsProcessingParameterFeatureSink("OUTPUT", "Shortest path", QgsProcessing.TypeVectorLine),
                 "The route as a line, with its start, end and cost.")

    def routes(self, parameters, context, feedback, start, end):
        source, net = self.network(parameters, context, feedback)
        if start == "point":
            p = self.point_of(parameters, "START_POINT", context, net)
            starts = [(p, None)]
        else:
            starts = self.points_of(parameters, "START_POINTS", context, net, feedback, "Start point")
        if end == "point":
            p = self.point_of(parameters, "END_POINT", context, net)
            ends = [(p, None)]
        else:
            ends = self.points_of(parameters, "END_POINTS", context, net, feedback, "End point")
        if not starts or not ends:
            raise QgsProcessingException("No %s points to route" % ("start" if not starts else "end"))
        snaps = net.snap_points([p for p, _ in starts], "Start point") + net.snap_points(
            [p for p, _ in ends], "End point")
        bar = self.barrier_snaps(parameters, context, net, feedback)
        nodes = net.map_points(snaps + bar)
        view = net.view()
        s_nodes, e_nodes = nodes[:len(starts)], nodes[len(starts):len(starts) + len(ends)]
        b_nodes = nodes[len(starts) + len(ends):]
        feedback.setProgress(50)
        many = starts if start != "point" else ends
        fields = route_fields(many[0][1].fields() if len(many) > 0 and many[0][1] is not None else None)
        sink, dest = self.parameterAsSink(parameters, "OUTPUT", context, fields, QgsWkbTypes.LineString, net.crs)
        cost = None
        pairs = [(i, 0) for i in range(len(starts))] if start != "point" else [(0, j) for j in range(len(ends))]
        for k, (i, j) in enumerate(pairs):
            net.check(feedback)
            path = view.shortest_path(int(s_nodes[i]), int(e_nodes[j]), barrier_nodes=b_nodes)
            f = QgsFeature(fields)
            attrs = list(many[k][1].attributes()) if many[k][1] is not None else []
            if not path.found:
                if start == "point" and end == "point":
                    raise QgsProcessingException("There is no route from the start point to the end point")
                # As the native algorithms write it: the layer's point alone, no geometry.
                feedback.reportError("Point %d (%s) could not be routed: no route" % (k + 1, point_text(many[k][0])))
                text = point_text(many[k][0])
                f.setAttributes(attrs + ([text, None, None] if start != "point" else [None, text, None]))
                self.sink_add(sink, f)
                continue
            pts = net.path_points(path)
            if pts is None:  # start and end snap to one spot
                at = snaps[i][2]
                pts = np.array([[at.x(), at.y()], [at.x(), at.y()]])
            f.setGeometry(QgsGeometry.fromPolylineXY(polyline(pts)))
            f.setAttributes(attrs + [point_text(starts[i][0]), point_text(ends[j][0]), float(path.cost)])
            self.sink_add(sink, f)
            cost = float(path.cost)
            feedback.setProgress(50 + 50.0 * (k + 1) / len(pairs))
        out = {"OUTPUT": dest}
        if start == "point" and end == "point":
            out["TRAVEL_COST"] = cost
        return out


class ShortestPathPointToPoint(_Route):
    HELP = "The optimal (shortest or fastest) route between a start and an end point. " + ROUTE_HELP

    def name(self):
        return "shortestpathpointtopoint"

    def displayName(self):  # noqa: N802
        return "Shortest path (point to point)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.route_parameters("point", "point")
        self.addOutput(QgsProcessingOutputNumber("TRAVEL_COST", "Travel cost"))

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.routes(parameters, context, feedback, "point", "point")


class ShortestPathPointToLayer(_Route):
    HELP = ("The optimal route from a start point to every point of a layer, one line per end point with its "
            "attributes. " + ROUTE_HELP)

    def name(self):
        return "shortestpathpointtolayer"

    def displayName(self):  # noqa: N802
        return "Shortest path (point to layer)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.route_parameters("point", "layer")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.routes(parameters, context, feedback, "point", "layer")


class ShortestPathLayerToPoint(_Route):
    HELP = ("The optimal route from every point of a layer to an end point, one line per start point with its "
            "attributes. " + ROUTE_HELP)

    def name(self):
        return "shortestpathlayertopoint"

    def displayName(self):  # noqa: N802
        return "Shortest path (layer to point)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.route_parameters("layer", "point")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.routes(parameters, context, feedback, "layer", "point")


class OdMatrix(KelvaneAlgorithm):
    HELP = ("The least cost between every origin and every destination of two point layers, from one search "
            "per origin: a table of (origin id, destination id, cost), or with Lines a straight line from each "
            "origin to each destination. Pairs without a route have no cost. " + ROUTE_HELP)

    def name(self):
        return "odmatrix"

    def displayName(self):  # noqa: N802
        return "Origin-destination cost matrix"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_network_parameters()
        self.add(QgsProcessingParameterFeatureSource("START_POINTS", "Origins", [QgsProcessing.TypeVectorPoint]),
                 "Origin points (reprojected to the network's CRS if need be).")
        self.add(QgsProcessingParameterField("ORIGIN_ID_FIELD", "Origin id field", None, "START_POINTS",
                                             optional=True), "Field naming each origin; empty: the feature id.")
        self.add(QgsProcessingParameterFeatureSource("END_POINTS", "Destinations", [QgsProcessing.TypeVectorPoint]),
                 "Destination points (reprojected to the network's CRS if need be).")
        self.add(QgsProcessingParameterField("DESTINATION_ID_FIELD", "Destination id field", None, "END_POINTS",
                                             optional=True), "Field naming each destination; empty: the feature id.")
        self.add(QgsProcessingParameterBoolean("AS_LINES", "Lines", False),
                 "Write a straight line from origin to destination on each row instead of a table without "
                 "geometry.")
        self.add_extra_parameters()
        self.add(QgsProcessingParameterFeatureSink("OUTPUT", "Cost matrix", QgsProcessing.TypeVector),
                 "One row per origin and destination: origin_id, destination_id, cost.")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        source, net = self.network(parameters, context, feedback)
        origins = self.points_of(parameters, "START_POINTS", context, net, feedback, "Origin")
        dests = self.points_of(parameters, "END_POINTS", context, net, feedback, "Destination")
        if not origins or not dests:
            raise QgsProcessingException("No %s to route" % ("origins" if not origins else "destinations"))
        bar = self.barrier_snaps(parameters, context, net, feedback)
        snaps = net.snap_points([p for p, _ in origins], "Origin") + net.snap_points([p for p, _ in dests],
                                                                                      "Destination")
        nodes = net.map_points(snaps + bar)
        view = net.view()
        o_nodes, d_nodes = nodes[:len(origins)], nodes[len(origins):len(origins) + len(dests)]
        b_nodes = nodes[len(origins) + len(dests):]
        net.check(feedback)
        feedback.setProgressText("Costs from %d origins to %d destinations" % (len(origins), len(dests)))
        costs = self.stoppable(feedback, 50, 90, view.cost_matrix, o_nodes, d_nodes, barrier_nodes=b_nodes)

        def ids(pts, name):
            field = self.parameterAsString(parameters, name, context)
            if field:
                return [f[field] for _, f in pts], pts[0][1].fields().field(field).type()
            return [f.id() for _, f in pts], QVariant.LongLong

        oid, otype = ids(origins, "ORIGIN_ID_FIELD")
        did, dtype = ids(dests, "DESTINATION_ID_FIELD")
        fields = QgsFields()
        fields.append(QgsField("origin_id", otype))
        fields.append(QgsField("destination_id", dtype))
        fields.append(QgsField("cost", QVariant.Double))
        lines = self.parameterAsBool(parameters, "AS_LINES", context)
        sink, dest = self.parameterAsSink(parameters, "OUTPUT", context, fields,
                                          QgsWkbTypes.LineString if lines else QgsWkbTypes.NoGeometry, net.crs)
        for i in range(len(origins)):
            net.check(feedback)
            for j in range(len(dests)):
                f = QgsFeature(fields)
                c = costs[i, j]
                f.setAttributes([oid[i], did[j], float(c) if math.isfinite(c) else None])
                if lines:
                    f.setGeometry(QgsGeometry.fromPolylineXY([origins[i][0], dests[j][0]]))
                self.sink_add(sink, f)
        return {"OUTPUT": dest}
