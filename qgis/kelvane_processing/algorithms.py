"""Every algorithm the provider offers."""
from .analyses import Components, Isolate, Trace
from .areas import ServiceAreaFromLayer, ServiceAreaFromPoint
from .routes import OdMatrix, ShortestPathLayerToPoint, ShortestPathPointToLayer, ShortestPathPointToPoint

ALGORITHMS = (ShortestPathPointToPoint, ShortestPathPointToLayer, ShortestPathLayerToPoint, ServiceAreaFromPoint,
              ServiceAreaFromLayer, OdMatrix, Trace, Isolate, Components)
