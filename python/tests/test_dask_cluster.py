"""ternwick.batch on a Dask cluster of two worker processes on the loopback interface."""

import os
import signal
import threading
import time

import pytest

from conftest import make_pictures, without_times
from ternwick.batch import read_file, read_files

distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def many_pictures(tmp_path_factory):
    expected = make_pictures(tmp_path_factory.mktemp("many"), 300)
    paths = sorted(expected)
    return paths, [without_times(read_file(p)) for p in paths]


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, memory_limit=0, silence_logs=40) as cluster, \
            distributed.Client(cluster.scheduler_address) as connected:
        yield connected


def test_cluster_gives_the_single_process_records(client, many_pictures):
    paths, alone = many_pictures
    records = read_files(paths, client=client)
    assert [without_times(r) for r in records] == alone
    assert sum(r["decoded"] for r in records) >= 0.9 * len(paths)


def test_a_worker_killed_mid_batch_loses_no_file(client, many_pictures):
    paths, alone = many_pictures
    pids = client.run(os.getpid)
    victim = sorted(pids)[0]
    result = {}
    batch = threading.Thread(target=lambda: result.update(records=read_files(paths, client=client, partition_size=5)))
    batch.start()
    deadline = time.monotonic() + 60
    while not client.processing().get(victim) and time.monotonic() < deadline:
        time.sleep(0.01)
    os.kill(pids[victim], signal.SIGKILL)
    batch.join(timeout=240)
    assert not batch.is_alive()
    records = result["records"]
    assert [r["file"] for r in records] == paths
    # Rescheduled tasks give the same records; only a file retried to
    # exhaustion may come back as a failure record, with its reason.
    for record, expected in zip(records, alone):
        assert without_times(record) == expected or (record["error"] and not record["decoded"])
    client.wait_for_workers(2, timeout=60)
    assert os.getpid() not in client.run(os.getpid).values()
