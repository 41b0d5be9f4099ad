"""Long analyses stop when asked: Ctrl-C raises KeyboardInterrupt within a
moment, and a progress callable hears the fraction done and may stop them."""
import _thread
import threading
import time

import numpy as np
import pytest


def grid(kv, side):
    """A side x side grid of streets, costs random."""
    ids = np.arange(side * side).reshape(side, side) + 1
    frm = np.concatenate([ids[:, :-1].ravel(), ids[:-1, :].ravel()])
    to = np.concatenate([ids[:, 1:].ravel(), ids[1:, :].ravel()])
    cost = np.random.default_rng(3).uniform(1.0, 2.0, len(frm))
    return kv.Network.from_arrays(frm, to, node_count=side * side, cost=cost).view()


def test_ctrl_c_stops_a_cost_matrix_at_once(kv):
    view = grid(kv, 300)
    nodes = np.random.default_rng(4).integers(1, view.node_count + 1, 400)
    timer = threading.Timer(0.3, _thread.interrupt_main)
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        view.cost_matrix(nodes, nodes)
    timer.join()
    # Stopped within a moment of the signal, long before the matrix is done
    # (a poll every few thousand steps; the margin is for a loaded machine).
    assert time.monotonic() - started < 0.3 + 0.5


def test_a_progress_callable_hears_the_fraction_and_may_stop(kv):
    view = grid(kv, 120)
    nodes = np.arange(1, view.node_count + 1, 97)
    heard = []
    full = view.cost_matrix(nodes, nodes, progress=heard.append)
    np.testing.assert_array_equal(full, view.cost_matrix(nodes, nodes))
    assert heard and heard == sorted(heard) and 0.0 <= heard[0] and heard[-1] <= 1.0
    calls = []
    with pytest.raises(kv.Stopped):
        view.costs_to(1, progress=lambda f: calls.append(f) or False)
    assert len(calls) == 1

    def fail(_):
        raise ZeroDivisionError("from the callable")

    with pytest.raises(ZeroDivisionError, match="from the callable"):
        view.closest_facility(nodes, progress=fail)
