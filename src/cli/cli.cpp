#include "cli.h"

#include <ostream>
#include <string_view>

#include "json.h"
#include "readfile.h"

namespace aiimport {

namespace {

struct Arguments {
  std::string mode;                // "--list", ...
  std::vector<std::string> files;  // operands in order
  InterpretOptions read;
  std::string error;               // set when the arguments make no sense
};

Arguments ParseArguments(const std::vector<std::string>& args) {
  Arguments a;
  for (const std::string& arg : args) {
    if (arg == "--list" || arg == "--help" || arg == "-h") {
      if (!a.mode.empty()) a.error = "Only one of " + a.mode + " and " + arg + " can be given";
      a.mode = arg == "-h" ? "--help" : arg;
    } else if (arg == "--no-flip") {
      a.read.FlipVertical = false;
    } else if (arg == "--parse-everything") {
      a.read.ParseEverything = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      a.error = "Unknown option " + arg;
    } else {
      a.files.push_back(arg);
    }
  }
  return a;
}

void AppendPathJson(std::string& out, std::size_t index, const tpath& p) {
  auto flag = [](bool b) { return b ? "true" : "false"; };
  out += "{\"index\":" + std::to_string(index);
  out += ",\"GroupLevel\":" + std::to_string(p.GroupLevel);
  out += ",\"CompoundNo\":" + std::to_string(p.CompoundNo);
  out += ",\"Closed\":";
  out += flag(p.Closed);
  out += ",\"Filled\":";
  out += flag(p.Filled);
  out += ",\"Anticlockwise\":";
  out += flag(p.Anticlockwise);
  out += ",\"Reversed\":";
  out += flag(p.Reversed);
  out += ",\"Flagged\":";
  out += flag(p.Flagged);
  out += ",\"LineColor\":" + std::to_string(p.LineColor);
  out += ",\"FillColor\":" + std::to_string(p.FillColor);
  out += ",\"count\":" + std::to_string(p.Count());
  out += ",\"box\":[";
  for (float v : {p.MinX, p.MinY, p.MaxX, p.MaxY}) {
    AppendFloat(out, v);
    out += ',';
  }
  out.back() = ']';
  out += ",\"points\":[";
  for (const tbpoint& pt : p.Items) {
    out += '[' + std::to_string(pt.Kind);
    for (float v : {pt.X1, pt.Y1, pt.X2, pt.Y2, pt.X3, pt.Y3}) {
      out += ',';
      AppendFloat(out, v);
    }
    out += "],";
  }
  if (!p.Items.empty()) out.pop_back();
  out += "]}\n";
}

int RunList(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.files.size() != 1) {
    err << "aiimport --list: give exactly one FILE (see aiimport --help)\n";
    return ExitFailure;
  }
  PathStore store;
  ReadProgress quiet;
  const ReadResult read = ReadSourceFile(store, a.files[0], a.read, quiet);
  if (read.Load.Status == LoadStatus::Missing || read.Load.Status == LoadStatus::Unreadable) {
    err << "aiimport: " << read.Load.Message << '\n';
    return ExitFailure;
  }
  // The boxes as the reload's extent computation leaves them.
  ComputeViewExtent(store.PathList, true);

  std::string line;
  for (std::size_t i = 0; i < store.PathList.size(); ++i) {
    line.clear();
    AppendPathJson(line, i, store.PathList[i]);
    out << line;
  }
  line = "{\"ViewExtent\":[";
  const FloatRect& e = read.InterpretedExtent;
  for (float v : {e.MinX, e.MinY, e.MaxX, e.MaxY}) {
    AppendFloat(line, v);
    line += ',';
  }
  line.back() = ']';
  line += ",\"lines\":" + std::to_string(read.Lines);
  line += ",\"paths\":" + std::to_string(store.PathList.size()) + "}\n";
  out << line;
  out.flush();
  return out ? ExitOk : ExitFailure;
}

}  // namespace

std::string UsageText() {
  return R"(Usage:
  aiimport [FILE]
      Open the importer window, loading FILE when it names an existing file.

  aiimport --list FILE [--no-flip] [--parse-everything]
      Read FILE as a reload does and print one JSON object per line for every path read:
      index, GroupLevel, CompoundNo, Closed, Filled, Anticlockwise, Reversed, Flagged,
      LineColor, FillColor, count (points), box [MinX, MinY, MaxX, MaxY] and points
      [[Kind, X1, Y1, X2, Y2, X3, Y3], ...]; then one object with the ViewExtent the
      interpretation left, the number of lines read and the number of paths.
      Exit code 2 when FILE is missing or cannot be read.

  aiimport --help
      Show this text.

Options:
  --no-flip            Read as with "Flip_Vertical" unchecked: every y coordinate negated.
  --parse-everything   Read as with "Parse Everything" checked: operators are read from the
                       first line, not only after "%%EndSetup" and the other start markers.
)";
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments a = ParseArguments(args);
  if (a.mode.empty() && a.error.empty()) return -1;  // the window's arguments
  if (!a.error.empty()) {
    err << "aiimport: " << a.error << " (see aiimport --help)\n";
    return ExitFailure;
  }
  if (a.mode == "--help") {
    out << UsageText();
    return ExitOk;
  }
  return RunList(a, out, err);
}

}  // namespace aiimport
