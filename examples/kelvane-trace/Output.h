// Output.h - the files a run writes, checked together before any input is
// read, so that a bad name or folder costs nothing but the message.
#ifndef KELVANE_TRACE_OUTPUT_H
#define KELVANE_TRACE_OUTPUT_H

#include <string>
#include <vector>

#include "Options.h"

struct NOutputFile {
  std::string strOption;  // the option that named it, for messages
  std::string strPath;
  std::string strDriver;  // the OGR driver for a GIS file; empty for the picture
  bool bMayReplace = true;
};

// Every file the options ask for, drivers resolved (empty strDriver for a GIS
// file whose driver could not be told: CheckOutputs refuses it).
std::vector<NOutputFile> OutputFiles(const NOptions& opt);

// Refuses, with strError naming the option and the path, an output whose
// format is unknown, that exists and may not be replaced, that cannot be
// created or opened for writing, that is the input, or that two options name.
bool CheckOutputs(const NOptions& opt, std::string& strError);

// The OGR driver for a --out file: strFormat if given (a driver's name),
// else by extension: .geojson/.json, .gpkg, .shp. Empty when neither tells.
std::string OgrDriverFor(const std::string& strPath, const std::string& strFormat);

#endif  // KELVANE_TRACE_OUTPUT_H
