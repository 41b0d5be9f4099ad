"""A headless QGIS with the Kelvane provider, and a generated street layer in a
projected CRS whose scale factor is 1 over the city, so that the native
algorithms (which measure on the ellipsoid) and ours (CRS units) agree."""
import os
import subprocess
import sys
import tempfile

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# A transverse Mercator centred on the city, scale 1 at its centre.
CITY_CRS = "+proj=tmerc +lat_0=48.005 +lon_0=11.008 +k=1 +x_0=0 +y_0=0 +ellps=WGS84 +units=m +no_defs"

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
if "XDG_RUNTIME_DIR" not in os.environ:
    os.environ["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="kelvane-qgis-")
sys.path.insert(0, os.path.join(ROOT, "qgis"))
sys.path.append("/usr/share/qgis/python/plugins")


def make_city(directory, side, name="city.gpkg"):
    """make_city.py's streets (lon/lat), reprojected into CITY_CRS."""
    from osgeo import gdal

    lonlat = os.path.join(directory, "lonlat-" + name)
    subprocess.run([sys.executable, os.path.join(ROOT, "examples", "python", "make_city.py"), lonlat,
                    "--side", str(side)], check=True, stdout=subprocess.DEVNULL)
    out = os.path.join(directory, name)
    gdal.VectorTranslate(out, lonlat, layers=["streets"], dstSRS=CITY_CRS, layerName="streets")
    return out


@pytest.fixture(scope="session")
def qgis_app():
    from qgis.core import QgsApplication

    app = QgsApplication([], False)
    app.initQgis()
    from processing.core.Processing import Processing

    Processing.initialize()
    from kelvane_processing.provider import KelvaneProvider

    provider = KelvaneProvider()
    QgsApplication.processingRegistry().addProvider(provider)
    yield app
    QgsApplication.processingRegistry().removeProvider(provider)


@pytest.fixture(scope="session")
def streets(qgis_app, tmp_path_factory):
    from qgis.core import QgsVectorLayer

    path = make_city(str(tmp_path_factory.mktemp("city")), 14)
    layer = QgsVectorLayer(path + "|layername=streets", "streets", "ogr")
    assert layer.isValid() and layer.featureCount() > 300
    return layer


@pytest.fixture(scope="session")
def lonlat_streets(streets):
    """The same streets as make_city.py wrote them, in lon/lat."""
    from qgis.core import QgsVectorLayer

    path = os.path.join(os.path.dirname(streets.source().split("|")[0]), "lonlat-city.gpkg")
    return QgsVectorLayer(path + "|layername=streets", "lonlat", "ogr")
