#!/usr/bin/python3
"""End-to-end speed of the Kelvane Processing algorithms against the native
ones: processing.run on one generated street layer in a projected CRS, the
same points, wall time per run, ratios native / kelvane.

    PYTHONPATH=build/python/python QT_QPA_PLATFORM=offscreen \\
        /usr/bin/python3 bench/qgis/bench_processing.py [--side 102] [--native-runs 10]

The 100 x 100 cost matrix is set against 100 native point-to-layer runs of
100 end points each; --native-runs of them are timed and the mean counted
100 times (all 100 take minutes)."""
import argparse
import os
import statistics
import sys
import tempfile
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "qgis"))
from conftest import make_city  # noqa: E402  (also puts qgis/ on the path and sets a headless Qt)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--side", type=int, default=102, help="intersections per side (102: about 20,400 streets)")
    ap.add_argument("--repeat", type=int, default=3, help="runs of each algorithm; the median counts")
    ap.add_argument("--native-runs", type=int, default=10, help="native point-to-layer runs timed for the matrix")
    args = ap.parse_args()

    from qgis.core import QgsApplication, QgsProcessingContext, QgsProcessingFeedback, QgsProject, QgsVectorLayer

    app = QgsApplication([], False)
    app.initQgis()
    from processing.core.Processing import Processing

    Processing.initialize()
    import processing
    from kelvane_processing.provider import KelvaneProvider

    provider = KelvaneProvider()
    QgsApplication.processingRegistry().addProvider(provider)
    tmp = tempfile.mkdtemp(prefix="kelvane-qgis-bench-")
    path = make_city(tmp, args.side)
    layer = QgsVectorLayer(path + "|layername=streets", "streets", "ogr")
    ext = layer.extent()
    rng = np.random.default_rng(7)

    def spot(n):
        return np.column_stack([rng.uniform(ext.xMinimum(), ext.xMaximum(), n),
                                rng.uniform(ext.yMinimum(), ext.yMaximum(), n)])

    def pt(xy):
        return "%r,%r" % (float(xy[0]), float(xy[1]))  # in the layer's CRS

    from test_processing import point_layer

    crs = layer.crs()
    ten, hundred = point_layer(crs, spot(10)), point_layer(crs, spot(100))
    # Two points on the south bank, so that the one-way bridges never leave a route without an answer.
    south = [(ext.xMinimum() + 0.1 * ext.width(), ext.yMinimum() + 0.05 * ext.height()),
             (ext.xMaximum() - 0.1 * ext.width(), ext.yMinimum() + 0.3 * ext.height())]
    net = dict(INPUT=layer, DIRECTION_FIELD="oneway", VALUE_FORWARD="1", VALUE_BACKWARD="-1", VALUE_BOTH="0")
    cases = [
        ("shortestpathpointtopoint", dict(START_POINT=pt(south[0]), END_POINT=pt(south[1]), OUTPUT="memory:")),
        ("shortestpathpointtolayer", dict(START_POINT=pt(south[0]), END_POINTS=ten, OUTPUT="memory:")),
        ("shortestpathlayertopoint", dict(START_POINTS=ten, END_POINT=pt(south[1]), OUTPUT="memory:")),
        ("serviceareafrompoint", dict(START_POINT=pt(south[0]), TRAVEL_COST2=1000, OUTPUT_LINES="memory:")),
        ("serviceareafromlayer", dict(START_POINTS=ten, TRAVEL_COST2=1000, OUTPUT_LINES="memory:")),
    ]

    def timed(alg, params, repeat):
        times = []
        for _ in range(repeat):
            context = QgsProcessingContext()
            context.setProject(QgsProject.instance())
            t = time.perf_counter()
            processing.run(alg, dict(net, **params), feedback=QgsProcessingFeedback(), context=context)
            times.append(time.perf_counter() - t)
        return statistics.median(times)

    print("%s: %d streets, %s" % (os.path.basename(path), layer.featureCount(), layer.crs().description() or "tmerc"))
    print("%-28s %10s %10s %8s" % ("algorithm", "native s", "kelvane s", "ratio"))
    for name, params in cases:
        n, k = timed("native:" + name, params, args.repeat), timed("kelvane:" + name, params, args.repeat)
        print("%-28s %10.3f %10.3f %7.1fx" % (name, n, k, n / k))
    one = timed("native:shortestpathpointtolayer", dict(START_POINT=pt(south[0]), END_POINTS=hundred,
                                                         OUTPUT="memory:"), args.native_runs)
    k = timed("kelvane:odmatrix", dict(START_POINTS=hundred, END_POINTS=hundred, OUTPUT="memory:"), args.repeat)
    print("%-28s %10.3f %10.3f %7.1fx   (native: 100 x the median of %d point-to-layer runs of 100 points)"
          % ("odmatrix 100 x 100", 100 * one, k, 100 * one / k, args.native_runs))
    QgsApplication.processingRegistry().removeProvider(provider)


if __name__ == "__main__":
    main()
