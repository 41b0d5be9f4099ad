// TurnRestrictions.h - turn restrictions named by street ids, as a CSV or an
// OpenStreetMap file records them, resolved onto the network's edges. Both
// sources fill the same rows and go through one resolver.
#ifndef KELVANE_TRACE_TURNRESTRICTIONS_H
#define KELVANE_TRACE_TURNRESTRICTIONS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Geometry.h"
#include "kelvane/tools/Restrictions.h"

struct NDemoRun;

// One restriction as its source names it.
struct NRestrictionRow {
  kelvane::tools::NRestrictionKind eKind = kelvane::tools::NRestrictionKind::No;
  std::string strFrom;
  std::vector<std::string> via;  // street ids between, in travel order
  std::int32_t lViaNod = 0;      // the via node by the demo's number (node:N); 0: not given
  bool bViaAt = false;           // the via node by its place instead: viaAt, input coordinates
  NLinePoint_stru viaAt{0.0, 0.0};
  std::string strTo;
};

// Why a row could not be resolved.
enum class NRowFault : char {
  None = 0,
  NoStreet = 1,  // a street id that no line of the input has
  NoMeet = 2,    // the streets do not meet where the row says (or an only into a through street)
};

class CStreetIndex;

// Resolves rows on the network of one run.
class CRestrictionResolver {
 public:
  // dTolerance: the noding tolerance, in the planar frame. A via place
  // matches a node within twice that (and 0.1 units at least, the rounding
  // of 7-decimal degrees) of it.
  CRestrictionResolver(const NDemoRun& run, double dTolerance);
  ~CRestrictionResolver();
  CRestrictionResolver(const CRestrictionResolver&) = delete;
  CRestrictionResolver& operator=(const CRestrictionResolver&) = delete;

  // Appends the restrictions of row to out: one per edge of the from street
  // that ends at the via node (and, for no, per edge of the to street there).
  // Returns the fault, with strError saying it, and out untouched, when the
  // row's streets cannot be found or do not meet as it says.
  NRowFault Resolve(const NRestrictionRow& row, std::vector<kelvane::tools::NRestriction_stru>& out,
                    std::string& strError) const;

 private:
  std::unique_ptr<const CStreetIndex> m_pIdx;
  double m_dMatch;  // how far a via place may lie from its node
};

// Reads a restriction kind: no or only, or an OSM value that starts so
// (no_left_turn, only_straight_on). Case is ignored.
bool ParseRestrictionKind(const std::string& strValue, kelvane::tools::NRestrictionKind& eKind);

// What reading an OSM file's restriction relations found.
struct NOsmRestrictionCounts {
  std::int64_t llRelations = 0;  // relations of type=restriction
  std::int64_t llUsed = 0;       // resolved onto the network
  std::int64_t llIgnored = 0;    // for some vehicles or times only (restriction:motorcar=, :conditional ...)
  std::int64_t llMalformed = 0;  // missing or doubled members, an unknown kind, bad XML
  std::int64_t llNoWay = 0;      // a member way not among the input's lines
  std::int64_t llNoMeet = 0;     // a via node or way that is not where the ways meet
  std::string strFirstSkip;      // the first relation skipped and why, for the message
  bool bXml = true;              // false: the file is not XML (a .pbf), nothing read
};

// Reads the type=restriction relations of the OSM XML file strPath (through
// GDAL's virtual file layer, so /vsigzip/ paths work too) and resolves them
// on run, whose lines came from that file (way ids matched to feature ids,
// via nodes by their place). Relations that cannot be used are counted, not
// refused. bProgress: a progress line on stderr while a long read runs.
// Returns false with strError set only when the file cannot be opened.
bool ReadOsmRestrictions(const std::string& strPath, const NDemoRun& run, double dTolerance, bool bProgress,
                         std::vector<kelvane::tools::NRestriction_stru>& restrictions, NOsmRestrictionCounts& counts,
                         std::string& strError);

// One line that tells counts: "turn restrictions of F: 3 of 4 relations
// used, 1 skipped (1 malformed: relation 9 has no to member)".
std::string OsmRestrictionLine(const std::string& strPath, const NOsmRestrictionCounts& counts);

#endif  // KELVANE_TRACE_TURNRESTRICTIONS_H
