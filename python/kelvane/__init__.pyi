# Stubs of the package: the extension module's classes and the Python layer.
from ._kelvane import (BUILD as BUILD, WEIGHT_DTYPE as WEIGHT_DTYPE, Components as Components, Finding as Finding,
                       FlagCheck as FlagCheck, FlagMapping as FlagMapping, Isolation as Isolation,
                       Network as Network, Noding as Noding, Path as Path, ServiceArea as ServiceArea,
                       SplitIndex as SplitIndex, Stopped as Stopped, TraceResult as TraceResult, View as View, node_lines as node_lines)
from .ids import IdNetwork as IdNetwork, IdResult as IdResult, IdView as IdView

__version__: str
