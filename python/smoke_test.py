# Both builds load into one process and answer a trace and a route.
import numpy as np

import kelvane
import kelvane.gen1


def test_both_builds_trace_and_route_in_one_process():
    for mod, build in ((kelvane, "current"), (kelvane.gen1, "first generation")):
        assert mod.BUILD == build
        net = mod.Network.from_arrays(np.array([1, 2, 3]), np.array([2, 3, 4]), cost=[1.0, 2.0, 4.0])
        view = net.view()
        assert list(view.trace(1).nodes) == [1, 2, 3, 4]
        assert list(view.costs_from(1)) == [0.0, 1.0, 3.0, 7.0]
