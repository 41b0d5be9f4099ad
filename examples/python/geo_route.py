"""A route and a service area from a GeoDataFrame of streets, written back as
GeoDataFrames with the streets' own index and attributes.

    PYTHONPATH=build/python/python python3 examples/python/geo_route.py
"""
from __future__ import annotations

import geopandas as gpd
from shapely.geometry import LineString, Point

import kelvane.geo as kg


def streets() -> gpd.GeoDataFrame:
    """A small town: a square of streets, one of them one-way, and a diagonal."""
    lines = [LineString([(0, 0), (100, 0)]), LineString([(100, 0), (100, 100)]),
             LineString([(100, 100), (0, 100)]), LineString([(0, 100), (0, 0)]),
             LineString([(0, 0), (100, 100)])]
    return gpd.GeoDataFrame({"name": ["south", "east", "north", "west", "diagonal"],
                             "minutes": [2.0, 2.0, 2.0, 2.0, 5.0], "oneway": [0, 1, 0, 0, 0]},
                            geometry=lines, index=[11, 12, 13, 14, 15], crs="EPSG:3857")


def main() -> None:
    town = kg.from_geodataframe(streets(), cost="minutes", oneway="oneway")
    route = town.route(Point(50, -3), Point(60, 103), max_distance=10.0)
    print(route[["name", "from_fraction", "to_fraction", "cost"]])
    area = town.service_area([Point(50, -3)], 3.0, max_distance=10.0)
    print(area[["name", "from_fraction", "to_fraction"]], "%.1f m of street" % area.length.sum())


if __name__ == "__main__":
    main()
