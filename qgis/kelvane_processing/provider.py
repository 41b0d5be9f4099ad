"""The Kelvane Processing provider: every algorithm, under the id "kelvane"."""
import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon


class KelvaneProvider(QgsProcessingProvider):
    def id(self):
        return "kelvane"

    def name(self):
        return "Kelvane"

    def longName(self):  # noqa: N802
        return "Kelvane network analysis"

    def icon(self):
        path = os.path.join(os.path.dirname(__file__), "icon.svg")
        return QIcon(path) if os.path.exists(path) else super().icon()

    def loadAlgorithms(self):  # noqa: N802
        # Imported here, so that a missing kelvane module shows as a provider
        # without algorithms and a message, not as a plugin that fails to load.
        try:
            from .algorithms import ALGORITHMS
        except ImportError as e:
            from qgis.core import Qgis, QgsMessageLog

            QgsMessageLog.logMessage("Kelvane algorithms unavailable: %s (install python3-kelvane)" % e,
                                     "Processing", Qgis.Critical)
            return
        for cls in ALGORITHMS:
            self.addAlgorithm(cls())
