"""Cost matrices and service areas on a LocalCluster of two worker processes
equal what one process computes."""
import numpy as np
import pytest


def test_a_cluster_of_two_computes_what_one_process_does(random_nets):
    distributed = pytest.importorskip("distributed")
    import kelvane
    import kelvane.distributed as kd
    r = random_nets[2]
    net = r.network(kelvane)
    rng = np.random.default_rng(5)
    src, tgt = rng.integers(1, r.n + 1, 30), rng.integers(1, r.n + 1, 20)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        matrix = kd.cost_matrix(client, net, src, tgt, directed=False)
        areas = kd.service_areas(client, net, src[:5].tolist(), 8.0)
        hops = kd.cost_matrix(client, net, src, tgt, view={"weight": None}, chunks=3)
    view = net.view()
    # A matrix searches from its side with fewer nodes, so a chunk of sources
    # may add a route's costs in the other order: equal to the last bits.
    np.testing.assert_allclose(matrix, view.cost_matrix(src, tgt, directed=False), rtol=1e-12, atol=0)
    np.testing.assert_array_equal(hops, net.view(None).cost_matrix(src, tgt))
    for s, a in zip(src[:5], areas):
        np.testing.assert_array_equal(a.nodes, view.service_area(int(s), 8.0).nodes)
