// Flags.h - where the user's flags and barriers go: snapped to the network,
// checked, mapped onto nodes by the library, barriers then closed.
#ifndef KELVANE_TRACE_FLAGS_H
#define KELVANE_TRACE_FLAGS_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Geometry.h"
#include "Noding.h"
#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/SplitIndex.h"

using kelvane::tools::CSplitIndex;

// A flag or barrier as the user gave it.
struct NFlagRequest {
  bool bBarrier = false;
  bool bTarget = false;    // --route: the point routed to, not a start
  bool bValve = false;     // --valve: a device --isolate may close, not a start
  bool bByPoint = true;    // given as coordinates; else as edge and fraction
  NLinePoint_stru pt;      // coordinates, in the input's system
  std::int32_t lEdge = 0;  // edge number and fraction from its from node (where its geometry starts)
  double dPos = 0.0;
  std::string strLabel;  // as written, for messages
};

// One flag on its way through placement and mapping.
struct NPlacedFlag {
  NFlagRequest req;
  bool bPlaced = false;    // on the network; else strNote says why not
  std::string strNote;     // a warning for the user, or empty
  std::int32_t lEdge = 0;  // after snapping: the edge, position along its geometry ...
  double dPos = 0.0;
  std::int32_t lAtNod = 0;  // ... or the node it was snapped onto
  double dSnapDist = 0.0;   // coordinate flags: planar distance moved; edge flags: 0
  std::int32_t lNod = 0;    // after mapping: the node it sits on
};

// Turns every coordinate flag into an edge and position (the nearest point of
// the network), or into a node flag when that point lies within dTolerance of
// an edge's end. Edge flags are taken as given, to be checked by MapFlags.
// With dMaxSnap: a coordinate flag farther than dMaxSnap (planar units) from
// every edge, or not a usable coordinate of the network's system, is left
// unplaced with strNote naming its distance (strUnit after the number).
void PlaceFlags(const NDemoNet& demo, double dTolerance, std::vector<NPlacedFlag>& flags);
void PlaceFlags(const NDemoNet& demo, double dTolerance, double dMaxSnap, const std::string& strUnit,
                std::vector<NPlacedFlag>& flags);

// A distance for messages: "12.3 m", "4712.3 km", "1.41e+308 map units".
std::string FormatDistance(double d, const std::string& strUnit);

// The label with which messages name a flag: "flag 3:0.5", "barrier 10,20".
std::string FlagName(const NFlagRequest& req);

struct NMapStats {
  std::int32_t lNodsBefore = 0;
  std::int32_t lEdgesBefore = 0;
  std::int32_t lNewNods = 0;
  std::int32_t lNewEdges = 0;
  std::int32_t lSplitEdges = 0;
};

// Maps the placed flags onto net through the toolkit's MapFlags, reports on
// warn what it found (flags the library would misplace are left out, flags on
// an edge's end go to its node, repeats share a node), indexes the split into
// split (also with no flag, so that split answers for every edge) and closes
// the node of every barrier. Returns false with strError set only when the
// split cannot be indexed.
bool MapPlacedFlags(CLocalNetwork& net, std::vector<NPlacedFlag>& flags, CSplitIndex& split, NMapStats& stats,
                    std::ostream& warn, std::string& strError);

#endif  // KELVANE_TRACE_FLAGS_H
