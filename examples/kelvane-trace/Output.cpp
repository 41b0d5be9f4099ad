// Output.cpp - resolving and checking output paths.
#include "Output.h"

#include <fcntl.h>
#include <gdal_priv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool Exists(const std::string& strPath) {
  struct stat st {};
  return ::stat(strPath.c_str(), &st) == 0;
}

// The same file under two names? Compared once both resolve; a file not yet
// there is compared by its folder's resolved path and its own name.
std::string Canonical(const std::string& strPath) {
  char buf[PATH_MAX];
  if (::realpath(strPath.c_str(), buf) != nullptr) return buf;
  const std::size_t slash = strPath.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : strPath.substr(0, slash == 0 ? 1 : slash);
  const std::string name = slash == std::string::npos ? strPath : strPath.substr(slash + 1);
  if (::realpath(dir.c_str(), buf) != nullptr) return std::string(buf) + "/" + name;
  return strPath;
}

// Opens the file for writing without changing it: one made for the probe is
// removed again. Root passes every permission test, so only trying tells.
bool ProbeWritable(const std::string& strPath, bool bExists, std::string& strWhy) {
  struct stat st {};
  if (bExists && ::stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    strWhy = "is a folder";
    return false;
  }
  const int fd = ::open(strPath.c_str(), bExists ? O_WRONLY : (O_WRONLY | O_CREAT | O_EXCL), 0644);
  if (fd < 0) {
    strWhy = errno == ENOENT ? "its folder does not exist" : std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  ::close(fd);
  if (!bExists) ::unlink(strPath.c_str());
  return true;
}

}  // namespace

std::string OgrDriverFor(const std::string& strPath, const std::string& strFormat) {
  if (!strFormat.empty()) return strFormat;
  const std::size_t dot = strPath.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : Lower(strPath.substr(dot + 1));
  if (ext == "geojson" || ext == "json") return "GeoJSON";
  if (ext == "gpkg") return "GPKG";
  if (ext == "shp") return "ESRI Shapefile";
  return std::string();
}

std::vector<NOutputFile> OutputFiles(const NOptions& opt) {
  std::vector<NOutputFile> files;
  if (!opt.strSvg.empty()) files.push_back(NOutputFile{opt.bSvgAsked ? "--svg" : "the picture", opt.strSvg, "", true});
  if (!opt.strOut.empty())
    files.push_back(NOutputFile{"--out", opt.strOut, OgrDriverFor(opt.strOut, opt.strFormat), opt.bOverwrite});
  return files;
}

bool CheckOutputs(const NOptions& opt, std::string& strError) {
  const std::vector<NOutputFile> files = OutputFiles(opt);
  const std::string strInput = opt.strInput.empty() ? std::string() : Canonical(opt.strInput);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const NOutputFile& f = files[i];
    const std::string strWhat = f.strOption + " '" + f.strPath + "'";
    if (f.strOption == "--out") {
      if (f.strDriver.empty()) {
        strError = strWhat + ": the name must end in .geojson, .json, .gpkg or .shp, or -f must name the format";
        return false;
      }
      GDALAllRegister();
      GDALDriver* pDriver = GetGDALDriverManager()->GetDriverByName(f.strDriver.c_str());
      if (pDriver == nullptr || pDriver->GetMetadataItem(GDAL_DCAP_VECTOR) == nullptr ||
          pDriver->GetMetadataItem(GDAL_DCAP_CREATE) == nullptr) {
        strError = strWhat + ": '" + f.strDriver + "' is not a vector format this GDAL can write";
        return false;
      }
    }
    const std::string strCanon = Canonical(f.strPath);
    if (!strInput.empty() && strCanon == strInput) {
      strError = strWhat + " is the input file";
      return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (Canonical(files[j].strPath) == strCanon) {
        strError = strWhat + " is also the file of " + files[j].strOption;
        return false;
      }
    }
    const bool bExists = Exists(f.strPath);
    if (bExists && !f.bMayReplace) {
      strError = strWhat + " exists (add --overwrite to replace it)";
      return false;
    }
    std::string strWhy;
    if (!ProbeWritable(f.strPath, bExists, strWhy)) {
      strError = strWhat + ": " + strWhy;
      return false;
    }
  }
  return true;
}
