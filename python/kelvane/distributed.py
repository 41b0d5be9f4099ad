"""Cost matrices and service areas over many origins spread over a Dask
cluster. The network goes to every worker once (scattered, pickled); each
worker builds its view once per network and view arguments and keeps it for
the tasks that follow."""
from __future__ import annotations

from typing import Any, Dict, List, Sequence, Tuple

import numpy as np
import numpy.typing as npt

_VIEWS: Dict[Any, Any] = {}  # per worker process: (network key, view arguments) -> view


def _view(net: Any, key: str, view_kw: Tuple[Any, ...]) -> Any:
    slot = (key, view_kw)
    view = _VIEWS.get(slot)
    if view is None:
        view = _VIEWS[slot] = net.view(**dict(view_kw))
    return view


def _rows(net: Any, key: str, view_kw: Tuple[Any, ...], sources: npt.NDArray[Any], targets: npt.NDArray[Any],
          kw: Dict[str, Any]) -> npt.NDArray[Any]:
    return np.asarray(_view(net, key, view_kw).cost_matrix(sources, targets, **kw))


def _areas(net: Any, key: str, view_kw: Tuple[Any, ...], starts: List[Any], limit: float,
           kw: Dict[str, Any]) -> List[Any]:
    view = _view(net, key, view_kw)
    return [view.service_area(s, limit, **kw) for s in starts]


def _chunks(n: int, client: Any, chunks: Any) -> List[slice]:
    if chunks is None:
        chunks = 2 * max(1, len(client.scheduler_info()["workers"]))
    bounds = np.linspace(0, n, min(max(1, int(chunks)), max(1, n)) + 1).astype(int)
    return [slice(a, b) for a, b in zip(bounds[:-1], bounds[1:]) if b > a]


def cost_matrix(client: Any, network: Any, sources: Sequence[int], targets: Sequence[int], *,
                chunks: Any = None, view: Any = None, **kw: Any) -> npt.NDArray[Any]:
    """network.view(**view).cost_matrix(sources, targets, **kw), the sources
    cut into chunks (default two per worker) computed on the cluster."""
    net = network if _is_future(network) else client.scatter(network, broadcast=True)
    src = np.asarray(sources, dtype=np.int64)
    tgt = np.asarray(targets, dtype=np.int64)
    view_kw = tuple(sorted((view or {}).items()))
    futures = [client.submit(_rows, net, net.key, view_kw, src[s], tgt, kw, pure=False)
               for s in _chunks(len(src), client, chunks)]
    parts = client.gather(futures)
    return np.vstack(parts) if parts else np.zeros((0, len(tgt)))


def service_areas(client: Any, network: Any, starts: Sequence[Any], limit: float, *, chunks: Any = None,
                  view: Any = None, **kw: Any) -> List[Any]:
    """[network.view(**view).service_area(s, limit, **kw) for s in starts] on the cluster."""
    net = network if _is_future(network) else client.scatter(network, broadcast=True)
    view_kw = tuple(sorted((view or {}).items()))
    items = list(starts)
    futures = [client.submit(_areas, net, net.key, view_kw, items[s], limit, kw, pure=False)
               for s in _chunks(len(items), client, chunks)]
    return [a for part in client.gather(futures) for a in part]


def _is_future(obj: Any) -> bool:
    return type(obj).__name__ == "Future"
