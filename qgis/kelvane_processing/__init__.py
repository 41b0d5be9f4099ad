"""The Kelvane Processing provider, as a QGIS plugin."""


def classFactory(iface):  # noqa: N802 - the name QGIS looks for
    from .plugin import KelvanePlugin

    return KelvanePlugin(iface)
