// The trace demo on a generated town of about 100,000 street edges in
// longitude/latitude GeoJSON, stage by stage, so that one run shows the
// three times to compare: OGR reading the features alone, building the
// network from them (noding and the builder), and mapping 1,000 flags plus a
// full trace.
#include <benchmark/benchmark.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "Demo.h"
#include "NetBuild.h"

namespace {

constexpr int kStreets = 225;  // per direction: 2 x 225 x 224 = 100,800 edges
constexpr double kStep = 0.0009;

// Writes the town once per process: streets running east and north through
// every crossing, every seventh one-way, a demand on each.
const std::string& TownFile() {
  static const std::string path = [] {
    const std::string p = "/tmp/kelvane-demobench-" + std::to_string(::getpid()) + ".geojson";
    std::ofstream out(p);
    out.precision(9);
    out << "{\"type\":\"FeatureCollection\",\"features\":[\n";
    int fid = 1;
    for (int dir = 0; dir < 2; ++dir) {
      for (int i = 0; i < kStreets; ++i) {
        out << (fid > 1 ? ",\n" : "") << "{\"type\":\"Feature\",\"id\":" << fid
            << ",\"properties\":{\"oneway\":\"" << (i % 7 == 3 ? "yes" : "no") << "\",\"demand\":" << i % 10
            << "},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[";
        for (int j = 0; j < kStreets; ++j) {
          const double lon = (dir == 0 ? j : i) * kStep;
          const double lat = 50.0 + (dir == 0 ? i : j) * kStep * 0.64;
          out << (j ? "," : "") << "[" << lon << "," << lat << "]";
        }
        out << "]}}";
        ++fid;
      }
    }
    out << "\n]}\n";
    return p;
  }();
  return path;
}

NFieldNames Fields() {
  NFieldNames f;
  f.strOneWay = "oneway";
  f.strDemand = "demand";
  return f;
}

const NInputNetwork& Town() {
  static const NInputNetwork input = [] {
    NInputNetwork in;
    std::string strError;
    if (!ReadOgr(TownFile(), "", "", Fields(), false, in, strError)) std::fprintf(stderr, "%s\n", strError.c_str());
    return in;
  }();
  return input;
}

// 1,000 flags spread over the town on a fixed pseudo-random pattern.
std::vector<NPlacedFlag> Flags() {
  std::vector<NPlacedFlag> flags;
  std::uint32_t seed = 2024;
  for (int i = 0; i < 1000; ++i) {
    NPlacedFlag f;
    seed = seed * 1664525u + 1013904223u;
    f.req.pt.dX = (seed >> 8) % 100000 / 100000.0 * (kStreets - 1) * kStep;
    seed = seed * 1664525u + 1013904223u;
    f.req.pt.dY = 50.0 + (seed >> 8) % 100000 / 100000.0 * (kStreets - 1) * kStep * 0.64;
    f.req.strLabel = std::to_string(i);
    flags.push_back(f);
  }
  return flags;
}

// OGR alone: open the file and touch every feature's geometry and attributes.
void BM_OgrReadFeatures(benchmark::State& state) {
  GDALAllRegister();
  std::int64_t llPoints = 0;
  for (auto _ : state) {
    GDALDatasetUniquePtr ds(GDALDataset::Open(TownFile().c_str(), GDAL_OF_VECTOR));
    OGRLayer* pLayer = ds->GetLayer(0);
    for (auto& f : *pLayer) {
      const OGRGeometry* g = f->GetGeometryRef();
      llPoints += g != nullptr ? g->toLineString()->getNumPoints() : 0;
      benchmark::DoNotOptimize(f->GetFieldAsString(0));
      benchmark::DoNotOptimize(f->GetFieldAsDouble(1));
    }
  }
  benchmark::DoNotOptimize(llPoints);
}
BENCHMARK(BM_OgrReadFeatures)->Unit(benchmark::kMillisecond);

// Building: noding the lines read and filling the network with the builder.
void BM_BuildNetwork(benchmark::State& state) {
  const NInputNetwork& input = Town();
  for (auto _ : state) {
    NDemoNet demo;
    NodeLines(input, 0.01, demo);
    CLocalNetwork net;
    std::string strError;
    BuildNetwork(input, demo, false, net, strError);
    state.counters["edges"] = static_cast<double>(net.m_lEdgeNum);
  }
}
BENCHMARK(BM_BuildNetwork)->Unit(benchmark::kMillisecond);

// Snapping and mapping 1,000 flags, then a downstream trace from all of them.
void BM_MapFlagsAndTrace(benchmark::State& state) {
  const NInputNetwork& input = Town();
  NDemoNet demo;
  NodeLines(input, 0.01, demo);
  for (auto _ : state) {
    state.PauseTiming();
    CLocalNetwork net;
    std::string strError;
    BuildNetwork(input, demo, NeedsTranspose(NTraceDir::Downstream), net, strError);
    std::vector<NPlacedFlag> flags = Flags();
    state.ResumeTiming();
    PlaceFlags(demo, 0.01, flags);
    CSplitIndex split;
    NMapStats stats;
    std::ostringstream warn;
    MapFlags(net, flags, split, stats, warn, strError);
    std::vector<std::int32_t> starts;
    for (const NPlacedFlag& f : flags)
      if (f.lNod > 0) starts.push_back(f.lNod);
    NTraceResult result;
    RunTrace(net, starts, NTraceDir::Downstream, result, strError);
    net.EndTrace();
    state.counters["visited"] = static_cast<double>(result.edges.GetSize());
  }
}
BENCHMARK(BM_MapFlagsAndTrace)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(TownFile().c_str());
  return 0;
}
