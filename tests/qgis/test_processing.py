"""Every Kelvane algorithm through processing.run in a real QGIS, against the
kelvane module called directly and, for routes, the native algorithms."""
import math

import numpy as np
import pytest
from qgis.core import NULL

DIRS = dict(DIRECTION_FIELD="oneway", VALUE_FORWARD="1", VALUE_BACKWARD="-1", VALUE_BOTH="0")
CONTEXTS = []  # each run's memory outputs live as long as its context


def run(alg, **params):
    import processing
    from qgis.core import QgsProcessingContext, QgsProcessingFeedback, QgsProject

    context = QgsProcessingContext()
    context.setProject(QgsProject.instance())
    CONTEXTS.append(context)
    feedback = params.pop("feedback", None) or QgsProcessingFeedback()
    return processing.run(alg, params, feedback=feedback, context=context)


def features(layer):
    return list(layer.getFeatures())


def point_layer(crs, pts, name="p"):
    """A memory point layer in crs (a QgsCoordinateReferenceSystem or a string for one)."""
    from qgis.core import QgsCoordinateReferenceSystem, QgsFeature, QgsGeometry, QgsPointXY, QgsVectorLayer

    layer = QgsVectorLayer("Point?field=name:string", name, "memory")
    layer.setCrs(crs if isinstance(crs, QgsCoordinateReferenceSystem) else QgsCoordinateReferenceSystem(crs))
    for i, (x, y) in enumerate(pts):
        f = QgsFeature(layer.fields())
        f.setAttributes(["%s%d" % (name, i)])
        f.setGeometry(QgsGeometry.fromPointXY(QgsPointXY(x, y)))
        layer.dataProvider().addFeature(f)
    return layer


@pytest.fixture(scope="module")
def city(streets):
    """The streets as the kelvane module sees them: directions from 'oneway'."""
    import kelvane

    lines, way = [], []
    for f in streets.getFeatures():
        lines.append(np.array([(p.x(), p.y()) for p in f.geometry().asPolyline()]))
        way.append(int(f["oneway"]))
    net = kelvane.Network.from_lines(lines, oneway=way)
    return net, np.asarray(net.noding.node_xy), np.array(way)


def pt(xy, crs_layer):
    """A point parameter in the layer's CRS (given without one when it has no authority id)."""
    text = "%r,%r" % (float(xy[0]), float(xy[1]))
    return text + " [%s]" % crs_layer.crs().authid() if crs_layer.crs().authid() else text


def test_routes_cost_what_native_and_the_module_say(streets, city):
    """Points at nodes: equal to the module's route; points anywhere: equal
    to native's (within 1 cm), both strategies, to and from layers too."""
    from qgis.core import QgsProcessingException

    net, xy, _ = city
    view = net.view()
    rng = np.random.default_rng(5)
    ext = streets.extent()
    # The bridges are one-way northwards: every route goes north.
    pairs = [sorted(p, key=lambda n: xy[n][1]) for p in rng.choice(len(xy), size=(4, 2), replace=False)]
    for a, b in pairs:
        ours = run("kelvane:shortestpathpointtopoint", INPUT=streets, START_POINT=pt(xy[a], streets),
                   END_POINT=pt(xy[b], streets), OUTPUT="memory:", **DIRS)
        path = view.shortest_path(int(a) + 1, int(b) + 1)
        assert ours["TRAVEL_COST"] == pytest.approx(path.cost, abs=1e-6)
        line = features(ours["OUTPUT"])[0].geometry()
        assert line.length() == pytest.approx(path.cost, abs=1e-6)
    anywhere = np.column_stack([rng.uniform(ext.xMinimum(), ext.xMaximum(), 6),
                                np.sort(rng.uniform(ext.yMinimum(), ext.yMaximum(), 6))])
    for strategy in (0, 1):
        for a, b in ((0, 1), (2, 3)):
            params = dict(INPUT=streets, STRATEGY=strategy, START_POINT=pt(anywhere[a], streets),
                          END_POINT=pt(anywhere[b], streets), OUTPUT="memory:", **DIRS)
            try:
                n = run("native:shortestpathpointtopoint", **params)
            except QgsProcessingException:  # no route: then neither may we find one
                with pytest.raises(QgsProcessingException, match="no route"):
                    run("kelvane:shortestpathpointtopoint", **params)
                continue
            k = run("kelvane:shortestpathpointtopoint", **params)
            scale = 1.0 if strategy == 0 else 1.0 / 50000  # a centimetre in hours at 50 km/h
            assert k["TRAVEL_COST"] == pytest.approx(n["TRAVEL_COST"], abs=0.01 * scale)
            fk, fn = features(k["OUTPUT"])[0], features(n["OUTPUT"])[0]
            assert fk.attributes()[:2] == fn.attributes()[:2]
    ends = point_layer(streets.crs(), anywhere[2:])
    for alg, params in (("shortestpathpointtolayer", dict(START_POINT=pt(anywhere[0], streets), END_POINTS=ends)),
                        ("shortestpathlayertopoint", dict(START_POINTS=ends, END_POINT=pt(anywhere[1], streets)))):
        k = features(run("kelvane:" + alg, INPUT=streets, OUTPUT="memory:", **DIRS, **params)["OUTPUT"])
        n = features(run("native:" + alg, INPUT=streets, OUTPUT="memory:", **DIRS, **params)["OUTPUT"])
        # Points without a route (the bridges go north only) as native writes them.
        assert [f.attributes()[:3] for f in k] == [[None if v is None or v == NULL else v for v in f.attributes()[:3]]
                                                   for f in n]
        assert np.allclose([f["cost"] or np.nan for f in k], [f["cost"] or np.nan for f in n], atol=0.01,
                           equal_nan=True)
    m = features(run("kelvane:odmatrix", INPUT=streets, START_POINTS=ends, END_POINTS=ends, ORIGIN_ID_FIELD="name",
                     DESTINATION_ID_FIELD="name", OUTPUT="memory:", **DIRS)["OUTPUT"])
    by_pair = {(f["origin_id"], f["destination_id"]): f["cost"] for f in m}
    assert len(by_pair) == 16 and all(by_pair[(x, x)] == pytest.approx(0) for x in ("p0", "p1", "p2", "p3"))
    row = features(run("kelvane:shortestpathpointtolayer", INPUT=streets, START_POINT=pt(anywhere[2], streets),
                       END_POINTS=ends, OUTPUT="memory:", **DIRS)["OUTPUT"])
    assert [by_pair[("p0", f["name"])] for f in row] == pytest.approx([f["cost"] for f in row], abs=1e-6)


def test_geographic_layers_measure_on_the_ellipsoid_as_native_does(lonlat_streets):
    """Between street ends (where both snap alike: native snaps in degrees),
    the costs agree to the centimetre."""
    ends = [f.geometry().asPolyline()[0] for f in lonlat_streets.getFeatures()]
    for a, b in ((3, 200), (20, 120)):
        params = dict(INPUT=lonlat_streets, START_POINT="%r,%r [EPSG:4326]" % (ends[a].x(), ends[a].y()),
                      END_POINT="%r,%r [EPSG:4326]" % (ends[b].x(), ends[b].y()), OUTPUT="memory:")
        k, n = run("kelvane:shortestpathpointtopoint", **params), run("native:shortestpathpointtopoint", **params)
        assert k["TRAVEL_COST"] > 100 and k["TRAVEL_COST"] == pytest.approx(n["TRAVEL_COST"], abs=0.01)


def test_service_area_covers_what_the_module_costs_reach(streets, city):
    """The lines' length is the coverage the module's node costs imply, the
    streets output adds up to it, and native's lines, measured along the
    segments, reach no farther."""
    net, xy, way = city
    view = net.view()
    start, limit = len(xy) // 2, 400.0
    res = run("kelvane:serviceareafrompoint", INPUT=streets, START_POINT=pt(xy[start], streets), TRAVEL_COST2=limit,
              INCLUDE_BOUNDS=True, OUTPUT_LINES="memory:", OUTPUT="memory:", OUTPUT_STREETS="memory:", **DIRS)
    costs = view.costs_from(start + 1)
    fr, to = np.asarray(net.noding.from_nodes) - 1, np.asarray(net.noding.to_nodes) - 1
    length, way = np.asarray(net.noding.edge_length), way[np.asarray(net.noding.edge_line)]
    reach = np.clip(limit - costs[fr], 0, None) * (way != -1) + np.clip(limit - costs[to], 0, None) * (way != 1)
    expected = np.minimum(length, reach).sum()
    lines = features(res["OUTPUT_LINES"])
    assert len(lines) == 1 and lines[0]["type"] == "lines"
    assert lines[0].geometry().length() == pytest.approx(expected, rel=1e-9)
    streets_out = features(res["OUTPUT_STREETS"])
    assert sum(f.geometry().length() for f in streets_out) == pytest.approx(expected, rel=1e-9)
    assert all(0 < f["fraction"] <= 1 for f in streets_out) and "oneway" in streets_out[0].fields().names()
    kinds = {f["type"] for f in features(res["OUTPUT"])}
    assert kinds == {"within", "upper", "lower"}
    many = run("kelvane:serviceareafromlayer", INPUT=streets, START_POINTS=point_layer(
        streets.crs(), [xy[start], xy[0]]), TRAVEL_COST2=limit, OUTPUT_LINES="memory:", **DIRS)
    first = features(many["OUTPUT_LINES"])
    assert [f["name"] for f in first] == ["p0", "p1"]
    assert first[0].geometry().length() == pytest.approx(expected, rel=1e-9)


def test_barriers_and_turn_restrictions_change_the_route(streets, city):
    from qgis.core import QgsFeature, QgsVectorLayer

    net, xy, _ = city
    a, b = xy[3], xy[len(xy) - 4]
    base = run("kelvane:shortestpathpointtopoint", INPUT=streets, START_POINT=pt(a, streets),
               END_POINT=pt(b, streets), OUTPUT="memory:")
    line = features(base["OUTPUT"])[0].geometry()
    mid = line.interpolate(line.length() / 2).asPoint()
    barred = run("kelvane:shortestpathpointtopoint", INPUT=streets, START_POINT=pt(a, streets),
                 END_POINT=pt(b, streets), BARRIERS=point_layer(streets.crs(), [(mid.x(), mid.y())]),
                 OUTPUT="memory:")
    assert barred["TRAVEL_COST"] > base["TRAVEL_COST"]
    assert features(barred["OUTPUT"])[0].geometry().distance(line.interpolate(line.length() / 2)) > 1e-6
    # Forbid every turn between the streets the route takes: it must go round.
    taken = [f for f in streets.getFeatures() if f.geometry().buffer(0.01, 2).contains(
        line.intersection(f.geometry().buffer(0.01, 2))) and line.intersection(f.geometry()).length() > 1]
    ids = [f.id() for f in taken]
    table = QgsVectorLayer("None?field=from_id:integer&field=to_id:integer", "turns", "memory")
    for x in ids:
        for y in ids:
            if x != y:
                row = QgsFeature(table.fields())
                row.setAttributes([x, y])
                table.dataProvider().addFeature(row)
    turned = run("kelvane:shortestpathpointtopoint", INPUT=streets, START_POINT=pt(a, streets),
                 END_POINT=pt(b, streets), TURN_RESTRICTIONS=table, TURN_FROM_FIELD="from_id", TURN_TO_FIELD="to_id",
                 OUTPUT="memory:")
    assert len(ids) > 2 and turned["TRAVEL_COST"] > base["TRAVEL_COST"]


def test_trace_isolate_and_components_agree_with_the_module(streets, city):
    net, xy, _ = city
    view = net.view()
    crs = streets.crs()
    for kind, name in ((0, "connected"), (1, "downstream"), (2, "upstream")):
        res = run("kelvane:trace", INPUT=streets, FLAGS=point_layer(crs, [xy[10]]), KIND=kind, OUTPUT="memory:",
                  OUTPUT_NODES="memory:", **DIRS)
        # The module's lines follow 'oneway' by states; the plugin turns
        # backward lines round, so compare what both reach: the nodes.
        got = sorted(f["node"] for f in features(res["OUTPUT_NODES"]))
        if kind == 0:
            assert got == sorted(view.trace(11, kind=name).nodes)
        out = features(res["OUTPUT"])
        assert 11 in got and out and all(0 < f["fraction"] <= 1 for f in out)
    valves = point_layer(crs, xy[[9, 12, 30, 31, 40]], "v")
    res = run("kelvane:isolate", INPUT=streets, START_POINT=pt(xy[10], streets), VALVES=valves,
              SOURCES=point_layer(crs, [xy[-1]], "s"), OUTPUT="memory:", OUTPUT_VALVES="memory:")
    iso = view.isolate(node=11, devices=[10, 13, 31, 32, 41], sources=[len(xy)])
    closed = sorted(int(f["name"][1:]) for f in features(res["OUTPUT_VALVES"]))
    assert closed == sorted([0, 1, 2, 3, 4][i] for i, n in enumerate([10, 13, 31, 32, 41]) if n in iso.devices)
    lost = features(res["OUTPUT"])
    assert sum(f.geometry().length() for f in lost) == pytest.approx(
        sum(net.noding.edge_length[e - 1] for e in iso.edges), rel=1e-9)
    for kind, name in ((0, "weak"), (1, "strong")):
        out = features(run("kelvane:components", INPUT=streets, KIND=kind, OUTPUT="memory:", **DIRS)["OUTPUT"])
        assert len(out) == streets.featureCount()
        got = {f["component"] for f in out} - {None}
        if kind == 0:  # a street lies in one weak component: every one is some street's
            assert got == set(range(1, view.components(name).count + 1))
        assert 1 in got


def test_bad_input_is_reported_not_raised_as_a_crash(streets, city, tmp_path):
    from qgis.core import (QgsCoordinateReferenceSystem, QgsCoordinateTransform, QgsFeature, QgsFeatureRequest,
                           QgsGeometry,
                           QgsPointXY, QgsProcessingException, QgsProcessingFeedback, QgsProject, QgsVectorLayer)

    net, xy, _ = city
    far = (xy[0][0] - 5000, xy[0][1])
    with pytest.raises(QgsProcessingException, match="farther than the largest snap distance"):
        run("kelvane:shortestpathpointtopoint", INPUT=streets, START_POINT=pt(far, streets),
            END_POINT=pt(xy[1], streets), MAX_SNAP=100, OUTPUT="memory:")
    empty = QgsVectorLayer("LineString", "e", "memory")
    empty.setCrs(streets.crs())
    with pytest.raises(QgsProcessingException, match="empty"):
        run("kelvane:components", INPUT=empty, OUTPUT="memory:")
    # A street with a NaN vertex is named and left out; the rest still route.
    bad = streets.materialize(QgsFeatureRequest())
    f = QgsFeature(bad.fields())
    f.setAttributes([None, "nan street", 0, 0])
    f.setGeometry(QgsGeometry.fromPolylineXY([QgsPointXY(xy[0][0], xy[0][1]), QgsPointXY(float("nan"), 1.0)]))
    bad.dataProvider().addFeature(f)
    errors = []

    class Feedback(QgsProcessingFeedback):
        def reportError(self, text, fatal=False):  # noqa: N802
            errors.append(text)

    ok = run("kelvane:shortestpathpointtopoint", INPUT=bad, START_POINT=pt(xy[0], streets),
             END_POINT=pt(xy[5], streets), OUTPUT="memory:", feedback=Feedback())
    assert any("not a number" in e for e in errors) and math.isfinite(ok["TRAVEL_COST"])
    # End points in another CRS are reprojected first.
    wgs = QgsCoordinateReferenceSystem("EPSG:4326")
    xf = QgsCoordinateTransform(streets.crs(), wgs, QgsProject.instance())
    p = xf.transform(QgsPointXY(*xy[5]))
    a = run("kelvane:shortestpathpointtolayer", INPUT=streets, START_POINT=pt(xy[0], streets),
            END_POINTS=point_layer("EPSG:4326", [(p.x(), p.y())]), OUTPUT="memory:")
    assert features(a["OUTPUT"])[0]["cost"] == pytest.approx(ok["TRAVEL_COST"], abs=1e-4)
    canceled = QgsProcessingFeedback()
    canceled.cancel()
    with pytest.raises(QgsProcessingException, match="Canceled"):
        run("kelvane:trace", INPUT=streets, FLAGS=point_layer(streets.crs(), [xy[0]]), OUTPUT="memory:",
            feedback=canceled)


def test_native_parameters_kept_and_every_parameter_explained(qgis_app):
    """A model switches by changing the id: every native parameter is there
    with its type and default, and every parameter has help."""
    from qgis.core import QgsApplication

    reg = QgsApplication.processingRegistry()
    for name in ("shortestpathpointtopoint", "shortestpathpointtolayer", "shortestpathlayertopoint",
                 "serviceareafrompoint", "serviceareafromlayer"):
        native, ours = reg.algorithmById("native:" + name), reg.algorithmById("kelvane:" + name)
        for p in native.parameterDefinitions():
            q = ours.parameterDefinition(p.name())
            assert q is not None and (q.type(), q.defaultValue()) == (p.type(), p.defaultValue()), (name, p.name())
        assert {o.name() for o in native.outputDefinitions()} <= {o.name() for o in ours.outputDefinitions()}
    for alg in reg.providerById("kelvane").algorithms():
        hidden = [p for p in alg.parameterDefinitions() if not p.flags() & p.FlagHidden]
        assert all(p.help() for p in hidden), [p.name() for p in hidden if not p.help()]


def test_trace_stops_at_barriers_and_stop_points(streets, city):
    net, xy, _ = city
    crs = streets.crs()
    flags = point_layer(crs, [xy[40]])

    def reached(**extra):
        res = run("kelvane:trace", INPUT=streets, FLAGS=flags, OUTPUT="memory:", **extra)
        return sum(f.geometry().length() for f in features(res["OUTPUT"]))

    everything = reached()
    # Points a third of the way along the flag's neighbours: barriers cut there, stops do not pass.
    near = [int(e) for e in net.edges_at(41)]
    cuts = []
    fr, to = np.asarray(net.noding.from_nodes), np.asarray(net.noding.to_nodes)
    for e in near:
        other = to[e - 1] if fr[e - 1] == 41 else fr[e - 1]
        cuts.append(xy[40] + (xy[other - 1] - xy[40]) / 3)
    barred = reached(BARRIERS=point_layer(crs, cuts))
    stopped = reached(STOPS=point_layer(crs, cuts))
    assert 0 < barred < everything and stopped == pytest.approx(barred)


def test_service_area_reaches_streets_up_to_a_barrier(streets, city):
    net, xy, _ = city
    start = len(xy) // 2
    edge = int(net.edges_at(start + 1)[0])
    bend = net.noding.edge_points(edge)
    barrier = point_layer(streets.crs(), [bend[len(bend) // 2]])

    def area(**extra):
        res = run("kelvane:serviceareafrompoint", INPUT=streets, START_POINT=pt(xy[start], streets),
                  TRAVEL_COST2=1e6, OUTPUT_LINES="memory:", **extra)
        return features(res["OUTPUT_LINES"])[0].geometry().length()

    # The whole city is within reach: the barrier loses nothing that can be reached round it.
    assert area(BARRIERS=barrier) == pytest.approx(area(), rel=1e-9)


def test_cancel_stops_the_od_matrix_while_it_runs(qgis_app, tmp_path):
    """Cancel pressed once the matrix is under way is heard by the analysis
    itself: the run ends there, its bar short of the matrix's end (90)."""
    from conftest import make_city
    from qgis.core import QgsProcessingException, QgsProcessingFeedback, QgsVectorLayer

    streets = QgsVectorLayer(make_city(str(tmp_path), 50) + "|layername=streets", "big", "ogr")
    corners = [f.geometry().asPolyline()[0] for f in streets.getFeatures()]
    origins = point_layer(streets.crs(), [(p.x(), p.y()) for p in corners[::2]], "o")
    dests = point_layer(streets.crs(), [(p.x(), p.y()) for p in corners[::97]], "d")
    feedback = QgsProcessingFeedback()
    heard = []

    def on_progress(value):
        heard.append(value)
        if value > 50:
            feedback.cancel()

    feedback.progressChanged.connect(on_progress)
    with pytest.raises(QgsProcessingException, match="Canceled"):
        run("kelvane:odmatrix", INPUT=streets, START_POINTS=origins, END_POINTS=dests, OUTPUT="memory:",
            feedback=feedback)
    assert 50 < max(heard) < 90, heard
