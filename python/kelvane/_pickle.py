"""Pickling and copying of a Network: its tables as arrays, made again with
from_arrays and the raw weight records written back through the views, so
that every weight type survives. Views, split indexes and results pickle in
the module itself; a view or split index pickled with its network shares the
one network unpickled."""
import copyreg

import numpy as np


def _state(net):
    cols = net.columns
    if any(cid != i for i, cid in enumerate(cols.values())) and "cost" in cols:
        raise ValueError("this network's columns cannot be pickled")
    ends = np.array(net.edge_nodes, dtype=np.int32)
    state = {
        "ends": ends, "node_count": net.node_count, "columns": list(cols),
        "weights": {name: np.array(net.weights(name)) for name in cols},
        "up_state": np.array(net.up_state), "down_state": np.array(net.down_state),
        "node_state": np.array(net.node_state),
    }
    for key, table in (("node_weights", net.node_weights()), ("demand", net.edge_demand),
                       ("node_demand", net.node_demand), ("direction", net.edge_direction)):
        if table is not None:
            state[key] = np.array(table)
    if net.has_turns:
        state["turns"] = net._turn_table()
    return state


def _rebuild(cls, state):
    ends, n = state["ends"], state["node_count"]
    zeros = np.zeros(len(ends))
    kw = {}
    names = state["columns"]
    if "cost" in names:
        kw["cost"] = zeros
    if "reverse_cost" in names:
        kw["reverse_cost"] = zeros
    extras = {c: zeros for c in names if c not in ("cost", "reverse_cost")}
    if extras:
        kw["columns"] = extras
    if "node_weights" in state:
        kw["node_weight"] = np.zeros(n)
    if "demand" in state:
        kw["demand"] = state["demand"]
    if "node_demand" in state:
        kw["node_demand"] = state["node_demand"]
    if "direction" in state:
        kw["direction"] = state["direction"]
    if "turns" in state:
        kw["turns"] = state["turns"]
    net = cls.from_arrays(ends[:, 0], ends[:, 1], node_count=n, up_state=state["up_state"],
                          down_state=state["down_state"], node_state=state["node_state"], **kw)
    deleted = (state["up_state"] == 2) & (state["down_state"] == 2)
    if deleted.any():
        net._unlist_deleted()
    for name in names:
        net.weights(name)[:] = state["weights"][name]
    if "node_weights" in state:
        net.node_weights()[:] = state["node_weights"]
    return net


def _reduce(net):
    return _rebuild, (type(net), _state(net))


def register(module):
    """Teaches pickle and copy the Network class of one build's module."""
    copyreg.pickle(module.Network, _reduce)
