"""What every Kelvane algorithm shares: the native network parameters (same
names, defaults and meanings, so that a model switches by changing the id),
the extras (barriers, turn restrictions, largest snap distance), and the
reading of them into a StreetNetwork."""
from qgis.core import (
    QgsFeatureSink,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingFeatureSourceDefinition,
    QgsProcessingParameterDistance,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterField,
    QgsProcessingParameterNumber,
    QgsProcessingParameterString,
)

import kelvane

from .network import Settings, StreetNetwork, source_points

LENGTHS = (
    "Lengths are in the layer's CRS units when it is projected; on a geographic layer they are metres on the "
    "project's ellipsoid (WGS 84 when the project sets none). The native algorithms measure every layer on "
    "the WGS 84 ellipsoid, even a projected one with the project's ellipsoid set to None, so on a projected "
    "layer their costs differ from these by the projection's scale factor (about one part in ten thousand in "
    "UTM); where that factor is 1 they agree to the centimetre.")

COMMON_HELP = {
    "INPUT": "Line layer of the network. Every part of every line is an edge; lines meet where they share a "
             "vertex (within the topology tolerance). Features with a coordinate that is not a number are left "
             "out and named in the log.",
    "STRATEGY": "Shortest: the cost is the length. Fastest: the cost is the time in hours at the speed of the "
                "speed field (km/h), or the default speed.",
    "DIRECTION_FIELD": "Field giving each line's direction; empty: every line takes the default direction.",
    "VALUE_FORWARD": "Value of the direction field for lines one may travel only as digitised.",
    "VALUE_BACKWARD": "Value of the direction field for lines one may travel only against their digitising.",
    "VALUE_BOTH": "Value of the direction field for lines one may travel both ways.",
    "DEFAULT_DIRECTION": "Direction of lines whose direction field holds none of the three values.",
    "SPEED_FIELD": "Field with each line's speed in km/h (Fastest only); empty, zero or negative values take the "
                   "default speed.",
    "DEFAULT_SPEED": "Speed in km/h of lines without a speed of their own (Fastest only).",
    "TOLERANCE": "Line ends and vertices closer than this are one node.",
    "BARRIERS": "Optional point layer: each point closes the network where it snaps onto a line; routes and "
                "areas go round it.",
    "TURN_RESTRICTIONS": "Optional table of forbidden turns: each row forbids going from one street straight onto "
                         "another where they meet.",
    "TURN_FROM_FIELD": "Field of the turn restrictions holding the street the turn comes from.",
    "TURN_TO_FIELD": "Field of the turn restrictions holding the street the turn goes to.",
    "STREET_ID_FIELD": "Field of the network layer that the turn restrictions' streets refer to; empty: the "
                       "feature id.",
    "MAX_SNAP": "Points farther than this from every line are refused and named in the log; 0 snaps points at "
                "any distance, as the native algorithms do.",
}


class KelvaneAlgorithm(QgsProcessingAlgorithm):
    """Base of every Kelvane algorithm."""

    HELP = ""  # the algorithm's own help, before the parameters'
    routing = True  # strategy, speed and turns apply

    def __init__(self):
        super().__init__()
        self._help = {}

    def createInstance(self):  # noqa: N802
        return type(self)()

    def group(self):
        return "Kelvane network analysis"

    def groupId(self):  # noqa: N802
        return "kelvane"

    def tr(self, text):
        return text

    def add(self, param, help_text=None):
        text = help_text or COMMON_HELP.get(param.name(), "")
        if text:
            param.setHelp(text)
            self._help[param.name()] = (param.description(), text)
        self.addParameter(param)
        return param

    def shortHelpString(self):  # noqa: N802
        rows = "".join("<li><b>%s</b> (%s): %s</li>" % (d, n, t) for n, (d, t) in self._help.items())
        return "<p>%s</p><p>%s</p><ul>%s</ul>" % (self.HELP, LENGTHS, rows)

    def add_network_parameters(self, directions=True):
        """The native algorithms' network parameters, in their order."""
        self.add(QgsProcessingParameterFeatureSource("INPUT", "Vector layer representing network",
                                                     [QgsProcessing.TypeVectorLine]))
        if self.routing:
            self.add(QgsProcessingParameterEnum("STRATEGY", "Path type to calculate", ["Shortest", "Fastest"],
                                                defaultValue=0))
        if directions:
            adv = []
            adv.append(self.add(QgsProcessingParameterField("DIRECTION_FIELD", "Direction field", None, "INPUT",
                                                            QgsProcessingParameterField.Any, optional=True)))
            for name, desc in (("VALUE_FORWARD", "Value for forward direction"),
                               ("VALUE_BACKWARD", "Value for backward direction"),
                               ("VALUE_BOTH", "Value for both directions")):
                adv.append(self.add(QgsProcessingParameterString(name, desc, None, optional=True)))
            adv.append(self.add(QgsProcessingParameterEnum(
                "DEFAULT_DIRECTION", "Default direction", ["Forward direction", "Backward direction",
                                                           "Both directions"], defaultValue=2)))
        else:
            adv = []
        if self.routing:
            adv.append(self.add(QgsProcessingParameterField("SPEED_FIELD", "Speed field", None, "INPUT",
                                                            QgsProcessingParameterField.Numeric, optional=True)))
            adv.append(self.add(QgsProcessingParameterNumber("DEFAULT_SPEED", "Default speed (km/h)",
                                                             QgsProcessingParameterNumber.Double, 50.0, False, 0)))
        adv.append(self.add(QgsProcessingParameterDistance("TOLERANCE", "Topology tolerance", 0.0, "INPUT", False,
                                                           0)))
        for p in adv:
            p.setFlags(p.flags() | p.FlagAdvanced)

    def add_extra_parameters(self, barriers=True, turns=True):
        """What the native algorithms lack, all optional and advanced."""
        adv = []
        if barriers:
            adv.append(self.add(QgsProcessingParameterFeatureSource("BARRIERS", "Barrier points",
                                                                    [QgsProcessing.TypeVectorPoint],
                                                                    optional=True)))
        if turns and self.routing:
            adv.append(self.add(QgsProcessingParameterFeatureSource("TURN_RESTRICTIONS", "Turn restrictions",
                                                                    [QgsProcessing.TypeVector], optional=True)))
            adv.append(self.add(QgsProcessingParameterField("TURN_FROM_FIELD", "From street field", None,
                                                            "TURN_RESTRICTIONS", optional=True)))
            adv.append(self.add(QgsProcessingParameterField("TURN_TO_FIELD", "To street field", None,
                                                            "TURN_RESTRICTIONS", optional=True)))
            adv.append(self.add(QgsProcessingParameterField("STREET_ID_FIELD", "Street id field", None, "INPUT",
                                                            optional=True)))
        adv.append(self.add(QgsProcessingParameterDistance("MAX_SNAP", "Largest snap distance", 0.0, "INPUT",
                                                           False, 0)))
        for p in adv:
            p.setFlags(p.flags() | p.FlagAdvanced)

    # --- reading the parameters ---

    def network(self, parameters, context, feedback):
        source = self.parameterAsSource(parameters, "INPUT", context)
        if source is None:
            raise QgsProcessingException("The network layer cannot be read")
        if source.featureCount() == 0:
            raise QgsProcessingException("The network layer is empty")
        has = lambda name: name in [p.name() for p in self.parameterDefinitions()]  # noqa: E731
        text = lambda name: self.parameterAsString(parameters, name, context) if has(name) else ""  # noqa: E731
        s = Settings(
            strategy=self.parameterAsEnum(parameters, "STRATEGY", context) if has("STRATEGY") else 0,
            direction_field=text("DIRECTION_FIELD"), forward=text("VALUE_FORWARD"), backward=text("VALUE_BACKWARD"),
            both=text("VALUE_BOTH"),
            default_direction=self.parameterAsEnum(parameters, "DEFAULT_DIRECTION", context)
            if has("DEFAULT_DIRECTION") else 2,
            speed_field=text("SPEED_FIELD"),
            default_speed=self.parameterAsDouble(parameters, "DEFAULT_SPEED", context) if has("DEFAULT_SPEED") else 50,
            tolerance=self.parameterAsDouble(parameters, "TOLERANCE", context),
            max_snap=self.parameterAsDouble(parameters, "MAX_SNAP", context) if has("MAX_SNAP") else 0.0,
            street_id_field=text("STREET_ID_FIELD"))
        pairs = None
        if has("TURN_RESTRICTIONS"):
            table = self.parameterAsSource(parameters, "TURN_RESTRICTIONS", context)
            if table is not None:
                ff, tf = text("TURN_FROM_FIELD"), text("TURN_TO_FIELD")
                if not ff or not tf:
                    raise QgsProcessingException("Turn restrictions need their from street and to street fields")
                pairs = [(r[ff], r[tf]) for r in table.getFeatures()]
                feedback.pushInfo("%d turn restrictions read" % len(pairs))
        feedback.setProgressText("Reading the network")
        # The layer itself, for reading it whole at once, unless only part of it is asked for.
        layer = self.parameterAsVectorLayer(parameters, "INPUT", context)
        given = parameters.get("INPUT")
        if isinstance(given, QgsProcessingFeatureSourceDefinition) and (
                given.selectedFeaturesOnly or given.featureLimit != -1 or getattr(given, "filterExpression", "")):
            layer = None
        net = StreetNetwork(source, s, context, feedback, pairs, layer)
        feedback.pushInfo("Network: %d nodes, %d edges from %d lines" % (net.noding.node_count,
                                                                         net.noding.edge_count, net.line_count))
        return source, net

    def points_of(self, parameters, name, context, net, feedback, what):
        """[(QgsPointXY, feature)] of a point source in the network's CRS; [] when not given."""
        src = self.parameterAsSource(parameters, name, context)
        if src is None:
            return []
        return source_points(src, net.crs, context, feedback, what)

    def point_of(self, parameters, name, context, net):
        """A point parameter in the network's CRS (reprojected from the point's own CRS)."""
        return self.parameterAsPoint(parameters, name, context, net.crs)

    def barrier_snaps(self, parameters, context, net, feedback):
        pts = self.points_of(parameters, "BARRIERS", context, net, feedback, "Barrier")
        return net.snap_points([p for p, _ in pts], "Barrier") if pts else []

    @staticmethod
    def stoppable(feedback, lo, hi, analysis, *args, **kwargs):
        """analysis(*args, **kwargs) polled while it runs: the bar moves from
        lo to hi with its fraction done, and Cancel stops it at its next poll
        (a fraction of a second) rather than when it is done."""
        def poll(done):
            feedback.setProgress(lo + (hi - lo) * done)
            return not feedback.isCanceled()

        try:
            return analysis(*args, progress=None if feedback is None else poll, **kwargs)
        except kelvane.Stopped:
            raise QgsProcessingException("Canceled") from None

    @staticmethod
    def sink_add(sink, feature):
        sink.addFeature(feature, QgsFeatureSink.FastInsert)
