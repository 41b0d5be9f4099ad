"""Adds the provider to the Processing registry for as long as the plugin is loaded."""
from qgis.core import QgsApplication


class KelvanePlugin:
    def __init__(self, iface):
        self.iface = iface
        self.provider = None

    def initProcessing(self):  # noqa: N802 - QGIS calls it by this name
        from .provider import KelvaneProvider

        self.provider = KelvaneProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):  # noqa: N802
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
