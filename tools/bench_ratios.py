#!/usr/bin/env python3
"""Prints the performance table from the JSON files the benchmark programs wrote.

Every figure is the median CPU time of the library's case over the median of
its baseline, both from the same program run. Usage:

    tools/bench_ratios.py DIR    # DIR holds <Program>.json for each program
"""
import glob
import json
import math
import os
import sys

UNITS = {'ns': 1e-9, 'us': 1e-6, 'ms': 1e-3, 's': 1.0}


def load(directory):
    """(program, run name) -> median CPU seconds; (program, run name) -> counters."""
    times, counters = {}, {}
    for path in sorted(glob.glob(os.path.join(directory, '*.json'))):
        program = os.path.basename(path)[:-5]
        with open(path) as f:
            for b in json.load(f)['benchmarks']:
                if b.get('aggregate_name') != 'median':
                    continue
                times[program, b['run_name']] = b['cpu_time'] * UNITS[b['time_unit']]
                counters[program, b['run_name']] = b
    return times, counters


def ratio(times, program, case, baseline):
    a, b = times.get((program, case)), times.get((program, baseline))
    return '-' if a is None or b is None else '%.2f' % (a / b)


def traversal(times):
    peers = ['TablesInline', 'Csr', 'BoostAdjacencyList', 'BoostCsrGraph', 'LemonListGraph', 'LemonStaticDigraph']
    print('| network | build | ' + ' | '.join('/ ' + p for p in peers) + ' |')
    print('|---|---|' + '---|' * len(peers))
    for side in (1000, 100):
        for permuted in (0, 1):
            for program, build in (('TraversalBench', 'current'), ('TraversalBenchGen1', 'first generation')):
                case = 'BM_TraceLibrary/side:%d/permuted:%d' % (side, permuted)
                cells = [ratio(times, program, case, case.replace('Library', p)) for p in peers]
                name = '%d x %d, %s' % (side, side, 'permuted' if permuted else 'row-major')
                print('| %s | %s | %s |' % (name, build, ' | '.join(cells)))


def grids():
    """(side, permuted, label) of the grids the traversal and analysis programs share."""
    for side in (1000, 100):
        for permuted in (0, 1):
            yield side, permuted, '%d x %d, %s' % (side, side, 'permuted' if permuted else 'row-major')


def analysis(times, counters):
    program = 'AnalysisBench'
    if not any(p == program for p, _ in times):
        return
    peers = ['Csr', 'BoostAdjacencyList', 'BoostCsrGraph', 'LemonListGraph', 'LemonStaticDigraph']
    print('| network | build / tables inline | trace / ' + ' | / '.join(peers) +
          ' | build + trace / calls | weak / Boost | strong / Boost | 2 threads / 1 | view bytes / tables |')
    print('|---|---|' + '---|' * len(peers) + '---|---|---|---|---|')
    for side, permuted, name in grids():
        arg = '/side:%d/permuted:%d' % (side, permuted)
        cells = [ratio(times, program, 'BM_ViewBuild' + arg, 'BM_TraceTablesInline' + arg)]
        cells += [ratio(times, program, 'BM_TraceView' + arg, 'BM_Trace%s%s' % (p, arg)) for p in peers]
        cells.append(ratio(times, program, 'BM_ViewBuildAndTrace' + arg, 'BM_TraceLibraryCalls' + arg))
        cells.append(ratio(times, program, 'BM_ComponentsWeak' + arg, 'BM_BoostConnectedComponents' + arg))
        cells.append(ratio(times, program, 'BM_ComponentsStrong' + arg, 'BM_BoostStrongComponents' + arg))
        # Analyses per second: the higher the better, so this one is two over one.
        one = counters.get((program, 'BM_TraceViewThreads%s/real_time/threads:1' % arg), {}).get('items_per_second')
        two = counters.get((program, 'BM_TraceViewThreads%s/real_time/threads:2' % arg), {}).get('items_per_second')
        cells.append('-' if not one or not two else '%.2f' % (two / one))
        build = counters.get((program, 'BM_ViewBuild' + arg), {})
        cells.append('%.2f' % build['view_per_table'] if 'view_per_table' in build else '-')
        print('| %s | %s |' % (name, ' | '.join(cells)))


def route(times):
    program = 'RouteBench'
    if not any(p == program for p, _ in times):
        return
    print('| network | one to all / Boost CSR graph | / LEMON StaticDigraph | turns / no turns | area / Boost |')
    print('|---|---|---|---|---|')
    for side, permuted, name in grids():
        arg = '/side:%d/permuted:%d' % (side, permuted)
        cells = [ratio(times, program, 'BM_RouteLibrary' + arg, 'BM_RouteBoostCsrGraph' + arg),
                 ratio(times, program, 'BM_RouteLibrary' + arg, 'BM_RouteLemonStaticDigraph' + arg),
                 ratio(times, program, 'BM_RouteLibraryTurns' + arg, 'BM_RouteLibraryTurnViewNoTurns' + arg),
                 ratio(times, program, 'BM_AreaLibrary' + arg, 'BM_AreaBoostCsrGraph' + arg)]
        print('| %s | %s |' % (name, ' | '.join(cells)))


def map_net_flag(times):
    print('| build | flags | / growth + sort | / growth + sort + writes |')
    print('|---|---|---|---|')
    for program, build in (('MapNetFlagBench', 'current'), ('MapNetFlagBenchGen1', 'first generation')):
        for n in (1000, 100000, 1000000):
            case = 'BM_MapNetFlag/%d' % n
            print('| %s | %d | %s | %s |' % (build, n, ratio(times, program, case, 'BM_GrowAndSortBaseline/%d' % n),
                                             ratio(times, program, case, 'BM_GrowSortWriteFloor/%d' % n)))
        low, high = times.get((program, 'BM_MapNetFlag/1000')), times.get((program, 'BM_MapNetFlag/1000000'))
        if low and high:
            print('| %s | exponent 1,000 to 1,000,000 | %.2f | |' % (build, math.log(high / low) / math.log(1000)))


def others(times, counters):
    rows = [
        ('ReallocMemory + fill, current', 'ReallocBench', 'BM_ReallocMemoryAndFill/min_time:2.000',
         'BM_MallocAndFill/min_time:2.000'),
        ('ReallocMemory + fill, first generation', 'ReallocBenchGen1', 'BM_ReallocMemoryAndFill/min_time:2.000',
         'BM_MallocAndFill/min_time:2.000'),
        ('CSmartArray Add (reused)', 'SmartArrayBench', 'BM_SmartArrayAddReused', 'BM_VectorPushBackReused'),
        ('CSmartArray GetAt', 'SmartArrayBench', 'BM_SmartArrayGetAt', 'BM_VectorIndex'),
        ('CSmartArray fresh fill', 'SmartArrayBench', 'BM_SmartArrayFreshFill', 'BM_VectorFreshFill'),
        ('builder, 1,001,112 edges', 'BuilderBench', 'BM_NetworkBuilder', 'BM_FillByHand'),
        ('exported call / inline question', 'CallFloorBench', 'BM_ExportedCallFloor', 'BM_InlineAskBaseline'),
    ]
    for share in (1, 50, 99):
        rows.append(('FetchTraceResult, %d%% marked' % share, 'TraceBench', 'BM_FetchTraceResult/%d' % share,
                     'BM_WordScanBaseline/%d' % share))
        rows.append(('FetchNotTraceResult, %d%% marked' % share, 'TraceBench', 'BM_FetchNotTraceResult/%d' % share,
                     'BM_WordScanNotBaseline/%d' % share))
    print('| case | library / baseline |')
    print('|---|---|')
    for name, program, case, baseline in rows:
        print('| %s | %s |' % (name, ratio(times, program, case, baseline)))
    for program, build in (('MemoryBench', 'current'), ('MemoryBenchGen1', 'first generation')):
        for (prog, run), b in sorted(counters.items()):
            if prog == program and 'resident_per_table' in b:
                numbering = 'permuted' if 'permuted:1' in run else 'row-major'
                print('| resident memory / table bytes, %s, %s | %.2f |' % (build, numbering, b['resident_per_table']))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    times, counters = load(sys.argv[1])
    traversal(times)
    print()
    analysis(times, counters)
    print()
    route(times)
    print()
    map_net_flag(times)
    print()
    others(times, counters)


if __name__ == '__main__':
    main()
