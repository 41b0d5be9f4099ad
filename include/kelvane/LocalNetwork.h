// LocalNetwork.h - one network held in memory for the host's own traversals.
// The host owns each object, writes the counts and settings, calls
// ReallocMemory, fills the public tables, then queries, traces and maps flags.
// One thread per object: even the queries write (recorders, storage position).
#ifndef KELVANE_LOCALNETWORK_H
#define KELVANE_LOCALNETWORK_H

#include <cstdint>

#include "kelvane/Config.h"
#include "kelvane/MyTrace.h"
#include "kelvane/SmartArray.h"
#include "kelvane/SmartFile.h"

// A weight in one column: a type byte, then the value in the form it names
// (1 int32, 2 int16, 3 float, 4 double; 0 no value) from the field's first byte.
#pragma pack(push, 1)
struct NWeightVal_stru {
  char cType = 0;      // 0 none, 1 int32, 2 int16, 3 float, 4 double
  double dVal = 0.0;   // value bytes, read as the type says
};
#pragma pack(pop)
static_assert(sizeof(NWeightVal_stru) == 9, "hosts step through weight tables 9 bytes at a time");

// The two end nodes of an edge (m_pEdgeNod).
struct NEdgeNod_stru {
  std::int32_t lFromNod;
  std::int32_t lToNod;
};

// A node's connections (m_pNodConn): sConnNum signed edge numbers, +e where e
// ends at the node, -e where it starts. A count of 0 or less means none.
struct NNodConn_stru {
  std::int16_t sConnNum;
  std::int32_t* pConnEdge;
};

// One flag: cFlgType 1 on node lElemID, 2 at fraction dPos along edge lElemID
// (0.0 at its from node); other kinds travel through flag mapping untouched.
struct NET_FLGstruct {
  char cFlgType = 0;
  std::int32_t lElemID = 0;
  double dPos = 0.0;
  char szFlgText[256] = {};
};

// A piece added by flag mapping and the edge it was cut from.
struct TEMPEDGE_MAP_EDGE {
  std::int32_t lTempEdgeID;
  std::int32_t lEdgeID;
};

static_assert(sizeof(NEdgeNod_stru) == 8, "end-node pairs are two 32-bit numbers");
static_assert(sizeof(NNodConn_stru) == 16, "connection records are a count and a pointer");
static_assert(sizeof(NET_FLGstruct) == 272, "flags keep natural alignment");
static_assert(sizeof(TEMPEDGE_MAP_EDGE) == 8, "map lines are two 32-bit numbers");

class KELVANE_API CLocalNetwork {
 public:
  // --- Lifetime and allocation ---
  // Constructs a network with no tables and no open trace; counts and settings
  // are 0 until the host writes them.
  CLocalNetwork();
  // Copies give the copy tables of its own: every table, each node's list and
  // matrix, each extra weight table and an open trace's bits. Both throw
  // std::bad_alloc when memory runs out; assignment then leaves the target as
  // it was. Assignment to itself changes nothing.
  CLocalNetwork(const CLocalNetwork& src);
  CLocalNetwork& operator=(const CLocalNetwork& src);
  // Releases every table and the bits of a trace still open.
  virtual ~CLocalNetwork();

  // Returns 1 once every table the counts and settings ask for exists,
  // zero-filled. Tables held from before are released first. Returns 0 after a
  // negative count or a failed allocation, with the network cleared (every
  // count, column id and flag 0; m_ExtEdgeWgtFld and the recorders kept).
  std::int32_t ReallocMemory();

  // --- States and directions ---
  // Each returns 1, or 0 with the output untouched when the node (1 to
  // m_lNodNum) or |edge| (1 to m_lEdgeNum) is out of range, or, for the
  // direction, when m_cEdgeDirectMode is 0.
  std::int32_t GetNodState(std::int32_t lNod, char& cState);
  std::int32_t SetNodState(std::int32_t lNod, char cState);
  std::int32_t GetUpEdgeState(std::int32_t lEdge, char& cState);
  std::int32_t SetUpEdgeState(std::int32_t lEdge, char cState);
  std::int32_t GetDownEdgeState(std::int32_t lEdge, char& cState);
  std::int32_t SetDownEdgeState(std::int32_t lEdge, char cState);
  std::int32_t GetEdgeDirect(std::int32_t lEdge, char& cDirect);
  std::int32_t SetEdgeDirect(std::int32_t lEdge, char cDirect);

  // --- Connectivity ---
  // Blocked elements (state 1; an edge when both its states are 1) are left
  // out. The current build passes each one met to m_BlockedNod or
  // m_BlockedEdge and fails with 0 on a blocked node or edge; the first
  // generation answers 1 there. Out of range: 0, outputs untouched.
  // From and to node of |lEdge|; 0 and 0 for a blocked edge.
  std::int32_t GetEdgeFromToNod(std::int32_t lEdge, std::int32_t& lFrom, std::int32_t& lTo);
  // Number of connections at lNod whose edge is open in the up direction.
  std::int32_t GetNodConnEdgeNum(std::int32_t lNod, std::int32_t& lCount);
  // Usable edges at lNod as positive numbers, in stored order.
  std::int32_t GetNodConnEdgeS(std::int32_t lNod, CSmartArray<std::int32_t>& edges);
  // Edges open upward that end at lNod (first generation: stored negative),
  // as stored, sign included.
  std::int32_t GetNodConnUpEdgeS(std::int32_t lNod, CSmartArray<std::int32_t>& edges);
  // Edges open downward that start at lNod (first generation: stored positive).
  std::int32_t GetNodConnDownEdgeS(std::int32_t lNod, CSmartArray<std::int32_t>& edges);

  // --- Weights, turn weights and demand ---
  // Each returns 1 with the value, or 0 with nothing written.
  std::int32_t GetNodWgtVal(std::int32_t lNod, std::int32_t lFld, NWeightVal_stru& val);
  // Column lookup: fixed column 1, fixed column 2, then the extra columns by
  // position; the first match wins.
  std::int32_t GetEdgeWgtVal(std::int32_t lEdge, std::int32_t lFld, NWeightVal_stru& val);
  // Entry (p, q) of lNod's matrix, p and q the last positions of lEdge1 and
  // lEdge2 (compared unchanged with |entry|) in the node's list.
  std::int32_t GetTurnWgtVal(std::int32_t lNod, std::int32_t lEdge1, std::int32_t lEdge2, double& dVal);
  // The node's entries as stored and its whole matrix, row by row.
  std::int32_t GetTurnWgtMatrix(std::int32_t lNod, CSmartArray<std::int32_t>& edges,
                                CSmartArray<double>& weights);
  std::int32_t GetNodDmdVal(std::int32_t lNod, double& dVal);
  // Takes the edge number unchanged: a negative number fails.
  std::int32_t GetEdgeDmdVal(std::int32_t lEdge, double& dVal);

  // --- Connection and turn memory ---
  // Give lNod a fresh zero-filled list of sNum entries, or a fresh sNum x sNum
  // matrix of 0.0, releasing what it held. Return 1; 0 with nothing changed
  // for a node out of range or (list) a negative count. Throw std::bad_alloc.
  std::int32_t ReallocNodConnEdgeMemory(std::int32_t lNod, std::int16_t sNum);
  std::int32_t ReallocNodTurnWgtMemory(std::int32_t lNod, std::int16_t sNum);

  // --- Trace marks ---
  // StartTrace covers the counts at that moment: 1, or 0 when the bits could
  // not be allocated. The others return -2 while no trace is open.
  std::int32_t StartTrace();
  std::int32_t EndTrace();
  std::int32_t RestartTrace();
  // 1 after marking; 0 for a number outside the traced range.
  std::int32_t TraceNod(std::int32_t lNod);
  std::int32_t TraceEdge(std::int32_t lEdge);
  // 1 marked, 0 not marked or out of range, -2 no trace.
  char AskNodHasTrace(std::int32_t lNod);
  char AskEdgeHasTrace(std::int32_t lEdge);
  // Marked (or unmarked) elements, ascending.
  std::int32_t FetchTraceResult(CSmartArray<std::int32_t>& nods, CSmartArray<std::int32_t>& edges);
  std::int32_t FetchNotTraceResult(CSmartArray<std::int32_t>& nods, CSmartArray<std::int32_t>& edges);

  // --- Flag mapping ---
  // Splits each flagged edge so that every flag sits on a node. Always 1.
  std::int32_t MapNetFlag(const CSmartArray<NET_FLGstruct>& in, CSmartArray<NET_FLGstruct>& out,
                          CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, CSmartArray<std::int32_t>& newNods);

  // --- Public tables. Hosts compile against this list: never reorder, insert
  // or change a width. Null until ReallocMemory; element n is entry n - 1. ---
  NEdgeNod_stru* m_pEdgeNod;       // per edge: from node, to node
  NNodConn_stru* m_pNodConn;       // per node: count and own list of signed edge numbers
  NWeightVal_stru* m_pEdgeWgt1;    // per edge; exists if m_lEdgeWgtFld1 >= 0
  NWeightVal_stru* m_pEdgeWgt2;    // per edge; exists if m_lEdgeWgtFld2 >= 0
  NWeightVal_stru* m_pNodWgt;      // per node; exists if m_lNodWgtFld >= 0
  double** m_ppTurnWgt;            // per node: count x count matrix, null until given one; if m_lTurnWgtFlag is 1
  char* m_pNodState;               // per node: 1 blocked, any other value open
  char* m_pUpEdgeState;            // per edge: up direction, 1 blocked, 2 deleted
  char* m_pDownEdgeState;          // per edge: down direction, likewise
  char* m_pEdgeDirect;             // per edge, uninterpreted; if m_cEdgeDirectMode is 1 or 2
  double* m_pNodDmd;               // per node; if m_cDmdFld >= 0
  double* m_pEdgeDmd;              // per edge; if m_cDmdFld >= 0
  std::int32_t m_lTraceFlag;       // 1 while a trace is open
#if !KELVANE_FIRST_GENERATION      // the first generation has no extra columns
  CSmartArray<NWeightVal_stru*> m_ExtEdgeWgt;  // table i holds column m_ExtEdgeWgtFld[i]; null for a negative id
#endif
  unsigned char* m_pNodTraceBit;   // node trace bits while a trace is open
  unsigned char* m_pEdgeTraceBit;  // edge trace bits while a trace is open

  // --- Counts and settings, written by the host before ReallocMemory ---
  std::int32_t m_lNodNum;          // nodes
  std::int32_t m_lEdgeNum;         // edges
  std::int32_t m_lNodWgtFld;       // host column id of the node weight; negative: none
  std::int32_t m_lEdgeWgtFld1;     // column id of the first edge weight; negative: none
  std::int32_t m_lEdgeWgtFld2;     // column id of the second edge weight; negative: none
  char m_cDmdFld;                  // negative: no demand tables
  std::int32_t m_lTurnWgtFlag;     // 1: turn matrices exist
  std::int32_t m_lReserve;         // carried without meaning
  char m_cEdgeDirectMode;          // 1 or 2: a direction table exists
  std::int32_t m_lNodTraceBytes;   // node trace bytes while a trace is open, else 0
  std::int32_t m_lEdgeTraceBytes;  // edge trace bytes while a trace is open, else 0
#if !KELVANE_FIRST_GENERATION      // the first generation keeps no recorders
  // Blocked nodes and edges met by the connectivity queries, since
  // ReallocMemory started them at the counts of that moment. Elements flag
  // mapping adds later are beyond that size and go unrecorded until the host
  // writes the new count into m_lElemNum and calls StartTrace again.
  CMyTrace m_BlockedNod;
  CMyTrace m_BlockedEdge;
  CSmartArray<std::int32_t> m_ExtEdgeWgtFld;  // host column ids of the extra edge weights
#endif

 private:
  friend class CNetworkAccess;     // the library's own editing code and its tests

  void clear();                    // releases every table, not the trace bits

  // Flag mapping's primitives. Room first, then appends into that room; a
  // call beyond the room or with a number out of range changes nothing.
  std::int32_t AppendElemS(std::int32_t lNodAdd, std::int32_t lEdgeAdd);
  std::int32_t AppendNod();
  std::int32_t AppendEdge(NWeightVal_stru& wgt2, NWeightVal_stru& wgt1, char cUpState, char cDownState,
                          char cDirect, double dDmd);
  std::int32_t DeleteEdge(std::int32_t lEdge);
};

#endif  // KELVANE_LOCALNETWORK_H
