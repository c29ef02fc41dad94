#include "manpage.h"

#include <sstream>
#include <vector>

namespace aiimport {

namespace {

std::size_t Indent(const std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

std::string Trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

// Adds a line of text to a paragraph, one space between lines.
void Append(std::string& paragraph, const std::string& line) {
  if (!paragraph.empty()) paragraph += ' ';
  paragraph += Trimmed(line);
}

// A command or an option with its description.
struct Entry {
  std::string Head;
  std::string Text;
};

// A section of the --help text: its heading without the colon, and its entries.
struct Section {
  std::string Heading;
  std::vector<Entry> Entries;
};

// Description lines of a command are indented by exactly this much; the command itself, and
// the lines that continue it, are not.
constexpr std::size_t DescriptionIndent = 6;

// Options (and the environment variables after them) start at this indent; their description
// follows two or more spaces later and continues on lines indented further.
constexpr std::size_t OptionIndent = 2;

std::vector<Section> ParseUsage(const std::string& usage) {
  std::vector<Section> sections;
  std::istringstream in(usage);
  std::string line;
  bool newEntry = true;  // after a blank line or a heading, a command starts
  while (std::getline(in, line)) {
    if (Trimmed(line).empty()) {
      newEntry = true;
      continue;
    }
    if (Indent(line) == 0 && line.back() == ':') {
      sections.push_back({line.substr(0, line.size() - 1), {}});
      newEntry = true;
      continue;
    }
    if (sections.empty()) sections.push_back({"Usage", {}});
    std::vector<Entry>& entries = sections.back().Entries;
    if (sections.back().Heading != "Usage") {
      if (Indent(line) == OptionIndent) {
        const std::size_t gap = line.find("  ", OptionIndent);
        entries.push_back({Trimmed(line.substr(0, gap)), {}});
        if (gap != std::string::npos) Append(entries.back().Text, line.substr(gap));
      } else {
        if (entries.empty()) entries.push_back({});
        Append(entries.back().Text, line);
      }
    } else if (newEntry) {
      entries.push_back({Trimmed(line), {}});
    } else if (Indent(line) == DescriptionIndent || !entries.back().Text.empty()) {
      Append(entries.back().Text, line);
    } else {
      Append(entries.back().Head, line);  // a command continued on the next line
    }
    newEntry = false;
  }
  return sections;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

std::string RoffText(const std::string& line) {
  std::string out;
  if (!line.empty() && (line[0] == '.' || line[0] == '\'')) out += "\\&";
  for (char c : line) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

std::string ManPage(const std::string& usage, const std::string& version) {
  const std::vector<Section> sections = ParseUsage(usage);
  std::ostringstream out;
  out << ".TH AIIMPORT 1 \"\" \"aiimport " << RoffText(version) << "\" \"User Commands\"\n"
      << ".SH NAME\n"
      << "aiimport \\- import Adobe Illustrator and EPS drawings into a sign\\-making host\n"
      << ".SH SYNOPSIS\n"
      << ".nf\n";
  for (const Section& section : sections)
    if (section.Heading == "Usage")
      for (const Entry& entry : section.Entries)
        out << RoffText(entry.Head) << '\n';
  out << ".fi\n"
      << ".SH DESCRIPTION\n"
      << "aiimport reads the path operators of an Adobe Illustrator (.ai) or EPS file into\n"
      << "paths, shows them as a tree beside a drawn preview, lets the user choose and edit\n"
      << "what to import, and writes the chosen paths to the binary file ~tempai.dot, which\n"
      << "the host application reads after aiimport exits. Without a mode it opens the\n"
      << "importer window; the modes below work without one.\n";
  for (const Section& section : sections) {
    out << ".SH " << RoffText(Upper(section.Heading == "Usage" ? "Modes" : section.Heading))
        << '\n';
    for (const Entry& entry : section.Entries) {
      if (!entry.Head.empty()) out << ".TP\n.B\n" << RoffText(entry.Head) << '\n';
      if (!entry.Text.empty()) out << RoffText(entry.Text) << '\n';
    }
  }
  out << ".SH FILES\n"
      << "Under the installation prefix (/usr for the Debian package):\n"
      << ".TP\n.I share/doc/aiimport/USAGE.html\n"
      << "The user guide (also as USAGE.md); Help in the window opens it.\n"
      << ".TP\n.I share/doc/aiimport/hostdir.html\n"
      << "Where ~tempai.dot is written, and the environment variables that choose the folder.\n"
      << ".TP\n.I share/doc/aiimport/dotfile.html\n"
      << "The record layout of ~tempai.dot.\n"
      << ".TP\n.I share/aiimport/samples\n"
      << "Sample drawings.\n";
  return out.str();
}

}  // namespace aiimport
