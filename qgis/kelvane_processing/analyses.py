"""What QGIS has no algorithm for: traces, isolation and components."""
import numpy as np
from qgis.core import (
    QgsFeature,
    QgsField,
    QgsFields,
    QgsGeometry,
    QgsPointXY,
    QgsProcessing,
    QgsProcessingException,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterPoint,
    QgsProcessingParameterString,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QVariant

from .base import KelvaneAlgorithm
from .network import multiline

FLOW = ("Downstream follows each line's flow: as digitised, or against it where the direction field says "
        "backward; lines marked both ways are walked as digitised. Upstream walks the other way.")


def ranges_of(net, mapped_edges):
    """{layer edge: [(lo, hi)]}: the fractions of each layer edge that the
    mapped network's edges cover."""
    out = {}
    for e in np.asarray(mapped_edges):
        o, f0, f1 = net.original(int(e))
        out.setdefault(int(o), []).append((min(f0, f1), max(f0, f1)))
    return out


def node_point(net, n, extra_xy):
    return tuple(net.node_xy[n - 1]) if n <= len(net.node_xy) else extra_xy[n]


def write_streets(alg, net, ranges, sink, fields, extra=()):
    reached = net.reached_streets(ranges)
    attrs = net.attributes(reached)
    for fid, (polys, share) in sorted(reached.items()):
        f = QgsFeature(fields)
        f.setGeometry(multiline(polys))
        f.setAttributes(list(attrs[fid]) + [float(share)] + list(extra))
        alg.sink_add(sink, f)


class _Analysis(KelvaneAlgorithm):
    routing = False

    def streets_sink(self, parameters, context, source, net):
        fields = QgsFields(source.fields())
        fields.append(QgsField("fraction", QVariant.Double))
        sink, dest = self.parameterAsSink(parameters, "OUTPUT", context, fields, QgsWkbTypes.MultiLineString,
                                          net.crs)
        return sink, dest, fields


class Trace(_Analysis):
    HELP = ("Everything connected to the flag points, or downstream or upstream of them, stopping at barrier "
            "points and at stop points: the streets are reached up to either and not past it; a stop point's "
            "node is among the nodes reached, a barrier's is not. " + FLOW)

    def name(self):
        return "trace"

    def displayName(self):  # noqa: N802
        return "Trace (connected, downstream, upstream)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_network_parameters()
        self.add(QgsProcessingParameterFeatureSource("FLAGS", "Flag points", [QgsProcessing.TypeVectorPoint]),
                 "The trace starts where each of these points snaps onto the network.")
        self.add(QgsProcessingParameterEnum("KIND", "Trace", ["Connected", "Downstream", "Upstream"], defaultValue=0),
                 "Connected: every way; Downstream and Upstream: with or against the flow.")
        self.add(QgsProcessingParameterFeatureSource("STOPS", "Stop points", [QgsProcessing.TypeVectorPoint],
                                                     optional=True),
                 "The trace reaches these points and goes no farther through them.")
        self.add_extra_parameters(turns=False)
        self.add(QgsProcessingParameterFeatureSink("OUTPUT", "Traced streets", QgsProcessing.TypeVectorLine),
                 "One feature per street reached, its attributes kept, the part reached as geometry and the "
                 "fraction of its length reached.")
        self.add(QgsProcessingParameterFeatureSink("OUTPUT_NODES", "Traced nodes", QgsProcessing.TypeVectorPoint,
                                                   optional=True),
                 "The network's nodes the trace reached.")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        source, net = self.network(parameters, context, feedback)
        flags = self.points_of(parameters, "FLAGS", context, net, feedback, "Flag")
        if not flags:
            raise QgsProcessingException("No flag points")
        stops = self.points_of(parameters, "STOPS", context, net, feedback, "Stop")
        bars = self.points_of(parameters, "BARRIERS", context, net, feedback, "Barrier")
        snaps = (net.snap_points([p for p, _ in flags], "Flag") + net.snap_points([p for p, _ in stops], "Stop")
                 + net.snap_points([p for p, _ in bars], "Barrier"))
        nodes = net.map_points(snaps)
        extra_xy = {int(n): (at.x(), at.y()) for n, (_, _, at) in zip(nodes, snaps)}
        nf, ns = len(flags), len(stops)
        view = net.view()
        net.check(feedback)
        kind = ("connected", "downstream", "upstream")[self.parameterAsEnum(parameters, "KIND", context)]
        # A barrier point sits part-way along a street: the street up to it is
        # reached, as up to a stop; only the barrier's own node is not.
        barrier_nodes = set(int(n) for n in nodes[nf + ns:]) - set(int(n) for n in nodes[:nf + ns])
        result = view.trace(nodes[:nf], kind=kind, stop_nodes=nodes[nf:])
        feedback.setProgress(70)
        sink, dest, fields = self.streets_sink(parameters, context, source, net)
        write_streets(self, net, ranges_of(net, result.edges), sink, fields)
        nfields = QgsFields()
        nfields.append(QgsField("node", QVariant.Int))
        nsink, ndest = self.parameterAsSink(parameters, "OUTPUT_NODES", context, nfields, QgsWkbTypes.Point, net.crs)
        if nsink is not None:
            for n in (n for n in np.asarray(result.nodes) if int(n) not in barrier_nodes):
                f = QgsFeature(nfields)
                x, y = node_point(net, int(n), extra_xy)
                f.setGeometry(QgsGeometry.fromPointXY(QgsPointXY(float(x), float(y))))
                f.setAttributes([int(n)])
                self.sink_add(nsink, f)
        feedback.pushInfo("Reached %d nodes and %d edges" % (len(result.nodes), len(result.edges)))
        return {"OUTPUT": dest, "OUTPUT_NODES": ndest}


class Isolate(_Analysis):
    HELP = ("The valves to close so that a point on a pipe is cut off, and the pipes that then lose every "
            "source. Valves and sources are points snapped onto the network; a valve closes the network where "
            "it snaps. Directions are ignored: water may come from either side.")

    def name(self):
        return "isolate"

    def displayName(self):  # noqa: N802
        return "Isolate (valves to close)"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_network_parameters(directions=False)
        self.add(QgsProcessingParameterPoint("START_POINT", "Point to isolate"),
                 "A point on the pipe to cut off (a break, say).")
        self.add(QgsProcessingParameterFeatureSource("VALVES", "Valves", [QgsProcessing.TypeVectorPoint]),
                 "Point layer of the valves that may be closed.")
        self.add(QgsProcessingParameterFeatureSource("SOURCES", "Sources", [QgsProcessing.TypeVectorPoint]),
                 "Point layer of the sources (reservoirs, feeds).")
        self.add_extra_parameters(turns=False)
        self.add(QgsProcessingParameterFeatureSink("OUTPUT_VALVES", "Valves to close",
                                                   QgsProcessing.TypeVectorPoint),
                 "The valves to close, with their attributes.")
        self.add(QgsProcessingParameterFeatureSink("OUTPUT", "Pipes without supply", QgsProcessing.TypeVectorLine),
                 "The pipes (or parts) that lose every source once the valves are closed, attributes kept.")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        source, net = self.network(parameters, context, feedback)
        start = self.point_of(parameters, "START_POINT", context, net)
        valves = self.points_of(parameters, "VALVES", context, net, feedback, "Valve")
        sources = self.points_of(parameters, "SOURCES", context, net, feedback, "Source")
        bars = self.points_of(parameters, "BARRIERS", context, net, feedback, "Barrier")
        if not sources:
            raise QgsProcessingException("No source points")
        snaps = (net.snap_points([start], "Point to isolate") + net.snap_points([p for p, _ in valves], "Valve")
                 + net.snap_points([p for p, _ in sources], "Source") + net.snap_points([p for p, _ in bars],
                                                                                       "Barrier"))
        nodes = net.map_points(snaps)
        nv, ns = len(valves), len(sources)
        v_nodes, s_nodes, b_nodes = nodes[1:1 + nv], nodes[1 + nv:1 + nv + ns], nodes[1 + nv + ns:]
        view = net.view()
        net.check(feedback)
        result = self.stoppable(feedback, 50, 70, view.isolate, node=int(nodes[0]), devices=v_nodes, sources=s_nodes,
                                barrier_nodes=b_nodes)
        feedback.setProgress(70)
        if result.source_inside:
            feedback.reportError("A source lies inside the part cut off: closing the valves leaves it supplied")
        closed = set(int(n) for n in np.asarray(result.devices))
        vsrc = self.parameterAsSource(parameters, "VALVES", context)
        vsink, vdest = self.parameterAsSink(parameters, "OUTPUT_VALVES", context, vsrc.fields(), QgsWkbTypes.Point,
                                            net.crs)
        written = set()
        for (p, f), n in zip(valves, v_nodes):
            if int(n) in closed and f.id() not in written:
                written.add(f.id())
                out = QgsFeature(vsrc.fields())
                out.setAttributes(f.attributes())
                out.setGeometry(QgsGeometry.fromPointXY(p))
                self.sink_add(vsink, out)
        sink, dest, fields = self.streets_sink(parameters, context, source, net)
        write_streets(self, net, ranges_of(net, result.edges), sink, fields)
        feedback.pushInfo("%d valves to close; %d edges lose supply" % (len(written), len(result.edges)))
        return {"OUTPUT_VALVES": vdest, "OUTPUT": dest}


class Components(_Analysis):
    HELP = ("The connected components of the network, written as a field 'component' (1 for the largest, then "
            "by size) on a copy of the lines. Weak: lines joined in any direction; strong: lines from which one "
            "can reach each other both ways, directions respected (a line in more than one takes the "
            "component of its first edge; lines in none, such as a one-way dead end, get none).")

    def name(self):
        return "components"

    def displayName(self):  # noqa: N802
        return "Network components"

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_network_parameters()
        self.add(QgsProcessingParameterEnum("KIND", "Components", ["Weak", "Strong"], defaultValue=0),
                 "Weak: joined in any direction; strong: mutually reachable, directions respected.")
        self.add(QgsProcessingParameterString("FIELD_NAME", "Component field name", "component"),
                 "Name of the field added.")
        self.add_extra_parameters(turns=False)
        self.add(QgsProcessingParameterFeatureSink("OUTPUT", "Components", QgsProcessing.TypeVectorLine),
                 "A copy of the network layer with the component field.")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        source, net = self.network(parameters, context, feedback)
        bars = self.barrier_snaps(parameters, context, net, feedback)
        nodes = net.map_points(bars)
        view = net.view()
        kind = ("weak", "strong")[self.parameterAsEnum(parameters, "KIND", context)]
        comps = self.stoppable(feedback, 50, 70, view.components, kind, barrier_nodes=nodes)
        feedback.setProgress(70)
        # Renumbered by size, largest first, so that the numbers mean the same
        # from run to run whatever order the search met the parts in.
        sizes = np.asarray(comps.sizes)
        order = np.argsort(-sizes, kind="stable")
        rank = np.zeros(len(sizes) + 1, np.int64)
        rank[order + 1] = np.arange(1, len(sizes) + 1)
        edge_comp = np.asarray(comps.edge_component)
        comp_of_feature = {}
        for e in range(len(edge_comp)):
            o, _, _ = net.original(e + 1)
            fid = int(net.line_feature[net.edge_line[o - 1]])
            c = int(edge_comp[e])
            if c > 0 and fid not in comp_of_feature:
                comp_of_feature[fid] = int(rank[c])
        name = self.parameterAsString(parameters, "FIELD_NAME", context) or "component"
        fields = QgsFields(source.fields())
        fields.append(QgsField(name, QVariant.Int))
        sink, dest = self.parameterAsSink(parameters, "OUTPUT", context, fields, source.wkbType(), net.crs)
        for f in source.getFeatures():
            out = QgsFeature(fields)
            out.setGeometry(f.geometry())
            out.setAttributes(f.attributes() + [comp_of_feature.get(f.id())])
            self.sink_add(sink, out)
        feedback.pushInfo("%d %s components" % (comps.count, kind))
        return {"OUTPUT": dest}
