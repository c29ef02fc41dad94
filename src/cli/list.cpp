// --list: the paths of a file as JSON lines.
#include <ostream>

#include "batch.h"
#include "cli.h"
#include "commandline.h"
#include "json.h"
#include "readfile.h"

namespace aiimport {

namespace {

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

}  // namespace

int RunList(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (c.Files.size() != 1) {
    err << "aiimport --list: give exactly one FILE (see aiimport --help)\n";
    return ExitFailure;
  }
  PathModel model;
  Progress quiet;
  const ReadResult read = ReadSourceFile(model, c.Files[0], c.Read, quiet);
  if (read.Load.Status == LoadStatus::Missing || read.Load.Status == LoadStatus::Unreadable) {
    err << "aiimport: " << read.Load.Message << '\n';
    return ExitFailure;
  }
  // The boxes as the reload's extent computation leaves them.
  ComputeViewExtent(model.PathList, true);

  std::string line;
  for (std::size_t i = 0; i < model.PathList.size(); ++i) {
    line.clear();
    AppendPathJson(line, i, model.PathList[i]);
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
  line += ",\"paths\":" + std::to_string(model.PathList.size());
  line += ",\"route\":";
  AppendJsonString(line, ReadRouteName(read.Route));
  const NotImportedCounts& n = read.NotImported;
  line += ",\"notImported\":{\"textObjects\":" + std::to_string(n.TextObjects) +
          ",\"images\":" + std::to_string(n.Images) +
          ",\"gradientFills\":" + std::to_string(n.GradientFills) +
          ",\"patternFills\":" + std::to_string(n.PatternFills) +
          ",\"hiddenLayerPaths\":" + std::to_string(n.HiddenLayerPaths) + "}";
  const std::string status = ReadingStatus(read, StartupTreePaths(model).size());
  line += ",\"status\":";
  AppendJsonString(line, status);
  line += "}\n";
  out << line;
  if (!status.empty()) err << "aiimport: " << status << '\n';
  out.flush();
  if (!out) {
    err << "aiimport: writing the list failed\n";
    return ExitFailure;
  }
  return ExitOk;
}

}  // namespace aiimport
