// ManPage.cpp - kelvane-trace.1 from the option table: the options as
// --help gives them, in the sections and fonts of a man page. The committed
// page is this output; ManPageTest says when they part.
#include <algorithm>

#include "Options.h"

namespace {

// Text as roff reads it: hyphens as minus signs (options are typed with
// them), and no line starting with a control character.
std::string Roff(const std::string& s) {
  std::string out;
  bool bLineStart = true;
  for (const char c : s) {
    if (bLineStart && (c == '.' || c == '\'')) out += "\\&";
    out += c == '-' ? "\\-" : c == '\\' ? "\\e" : std::string(1, c);
    bLineStart = c == '\n';
  }
  return out;
}

// "\fB\-\-out\fR \fIFILE\fR, \fB\-o\fR \fIFILE\fR"; the input in italics.
std::string ManNames(const NOptionRow& row) {
  std::string s;
  std::string names = row.pszNames;
  while (!names.empty()) {
    const std::size_t bar = names.find('|');
    const std::string name = names.substr(0, bar);
    s += (s.empty() ? "" : ", ") + std::string(name[0] == '-' ? "\\fB" : "\\fI") + Roff(name) + "\\fR" +
         (row.pszArg != nullptr ? std::string(" \\fI") + Roff(row.pszArg) + "\\fR" : "");
    names = bar == std::string::npos ? std::string() : names.substr(bar + 1);
  }
  return s;
}

void ManRow(std::ostream& os, const NOptionRow& row) {
  switch (row.eKind) {
    case NOptionRowKind::Section:
      os << ".SS " << Roff(row.pszText) << '\n';
      break;
    case NOptionRowKind::Option:
    case NOptionRowKind::Mode:
      os << ".TP\n" << ManNames(row) << '\n' << Roff(row.pszText) << '\n';
      break;
    case NOptionRowKind::Paragraph:
      os << ".PP\n" << Roff(row.pszText) << '\n';
      break;
    default:
      break;  // the man page gives the exit status a section of its own
  }
}

}  // namespace

void WriteManPage(std::ostream& os) {
  os << ".\\\" Made by kelvane-trace's WriteManPage (ManPage.cpp) from its option table: edit that, not this.\n"
        ".TH KELVANE-TRACE 1 2026-12-09 Kelvane \"User Commands\"\n"
        ".SH NAME\n"
        "kelvane-trace, kelvane-trace-gen1 \\- trace or analyse a street network and draw the result\n"
        ".SH SYNOPSIS\n"
        ".B kelvane-trace\n"
        ".RI [ INPUT ]\n"
        ".RI [ options ]\n"
        ".br\n"
        ".B kelvane-trace-gen1\n"
        ".RI [ INPUT ]\n"
        ".RI [ options ]\n"
        ".SH DESCRIPTION\n"
        ".B kelvane-trace\n"
        "builds a network from street lines, places flags and barriers on it, traces\n"
        "from the flags and draws the result.\n"
        "With no\n"
        ".I INPUT\n"
        "it uses a small built-in town (metres) with a flag and three barriers.\n"
        ".PP\n"
        ".B kelvane\\-trace\\-gen1\n"
        "is the same program built on the first generation of the library.\n"
        ".SH OPTIONS\n";
  for (const NOptionRow& row : OptionTable()) ManRow(os, row);
  os << ".SH EXIT STATUS\n"
        ".TP\n"
        ".B 0\n"
        "done\n"
        ".TP\n"
        ".B 1\n"
        "the input, an output, a flag or barrier that cannot be placed, or no flag to\n"
        "trace from (a run that only draws or lists needs none)\n"
        ".TP\n"
        ".B 2\n"
        "a bad command line\n"
        ".SH EXAMPLES\n"
        "Draw the built-in town into trace.svg:\n"
        ".PP\n"
        ".RS\n"
        ".B kelvane\\-trace\n"
        ".RE\n"
        ".PP\n"
        "Trace a street layer from a flag past a barrier:\n"
        ".PP\n"
        ".RS\n"
        ".nf\n"
        "kelvane\\-trace streets.gpkg \\-\\-oneway\\-field oneway \\e\n"
        "    \\-\\-flag 5.09,52.05 \\-\\-barrier 5.11,52.01 \\-\\-svg reach.svg \\-\\-out reach.gpkg\n"
        ".fi\n"
        ".RE\n";
}
