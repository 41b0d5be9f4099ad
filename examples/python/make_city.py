#!/usr/bin/python3
"""Writes a made-up city's streets to a GeoPackage, in lon/lat: a jittered grid
of blocks with a river winding across it that only a few bridges cross, all
of them one-way northwards and the westernmost closed, and some one-way
streets. Layers "streets" (name, oneway, blocked) and "river".

    /usr/bin/python3 examples/python/make_city.py /tmp/city.gpkg --side 100
"""
import argparse
import math

import numpy as np
from osgeo import ogr, osr

LON0, LAT0, STEP = 11.0, 48.0, 90.0  # south-west corner, block side in metres


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("path", help="GeoPackage to write (replaced)")
    ap.add_argument("--side", type=int, default=100, help="intersections per side (default 100: 19,700 streets)")
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = np.random.default_rng(args.seed)
    s = args.side
    # Intersections in metres, jittered so that no two blocks are alike.
    gx, gy = np.meshgrid(np.arange(s) * STEP, np.arange(s) * STEP)
    gx = gx + rng.normal(0, STEP * 0.12, gx.shape)
    gy = gy + rng.normal(0, STEP * 0.12, gy.shape)
    river = lambda col: s / 2 + s / 12 * math.sin(col / s * 2 * math.pi * 1.5)  # row of the river at a column
    bridges = set(range(s // 12, s, s // 6))

    def lonlat(x, y):
        return LON0 + x / (111320.0 * math.cos(math.radians(LAT0))), LAT0 + y / 110540.0

    streets = []  # (points in metres, oneway, blocked)
    for r in range(s):
        for c in range(s):
            for dr, dc in ((0, 1), (1, 0)):
                r2, c2 = r + dr, c + dc
                if r2 >= s or c2 >= s:
                    continue
                y_river = river(c + dc / 2)
                if dr and r < y_river <= r2 and c not in bridges:
                    continue  # no street runs into the water
                if dc and abs(r - river(c + 0.5)) < 0.45:
                    continue
                a, b = (gx[r, c], gy[r, c]), (gx[r2, c2], gy[r2, c2])
                bend = rng.normal(0, STEP * 0.05, 2)
                mid = ((a[0] + b[0]) / 2 + bend[0], (a[1] + b[1]) / 2 + bend[1])
                bridge = bool(dr and r < y_river <= r2)
                oneway = 1 if bridge else int(rng.choice([0, 1, -1], p=[0.9, 0.05, 0.05]))
                blocked = int(bridge and c == min(bridges))
                streets.append(((a, mid, b), oneway, blocked))

    drv = ogr.GetDriverByName("GPKG")
    if ogr.Open(args.path) is not None:
        drv.DeleteDataSource(args.path)
    ds = drv.CreateDataSource(args.path)
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(4326)
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    lay = ds.CreateLayer("streets", srs, ogr.wkbLineString)
    for name, kind in (("name", ogr.OFTString), ("oneway", ogr.OFTInteger), ("blocked", ogr.OFTInteger)):
        lay.CreateField(ogr.FieldDefn(name, kind))
    lay.StartTransaction()
    for i, (pts, oneway, blocked) in enumerate(streets):
        f = ogr.Feature(lay.GetLayerDefn())
        f.SetField("name", f"street {i + 1}")
        f.SetField("oneway", oneway)
        f.SetField("blocked", blocked)
        g = ogr.Geometry(ogr.wkbLineString)
        for x, y in pts:
            g.AddPoint_2D(*lonlat(x, y))
        f.SetGeometry(g)
        lay.CreateFeature(f)
    lay.CommitTransaction()
    rl = ds.CreateLayer("river", srs, ogr.wkbLineString)
    g = ogr.Geometry(ogr.wkbLineString)
    for col in np.linspace(-0.5, s - 0.5, 4 * s):
        g.AddPoint_2D(*lonlat(col * STEP, river(col) * STEP))
    f = ogr.Feature(rl.GetLayerDefn())
    f.SetGeometry(g)
    rl.CreateFeature(f)
    ds = None
    print(f"{args.path}: {len(streets)} streets, {len(bridges)} bridges")


if __name__ == "__main__":
    main()
