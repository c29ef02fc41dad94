#include "cli.h"

#include <filesystem>
#include <ostream>
#include <string_view>
#include <system_error>

#include "batch.h"
#include "commandline.h"
#include "dottools.h"
#include "ownprogram.h"

namespace aiimport {

namespace {

bool IsMode(const std::string& arg) {
  return arg == "--list" || arg == "--help" || arg == "-h" || arg == "--batch" ||
         arg == "--dump-dot" || arg == "--dot-svg" || arg == "--version";
}

// The command-line options documented for QCoreApplication, QGuiApplication and QApplication
// and for the X11 and Windows platforms, by Qt 6 and by earlier Qt versions. Qt reads each with
// one or two leading dashes. They are Qt's: the window leaves them and their values to Qt, the
// modes leave them aside. A value is the next argument, or follows "=" in the same one.
struct QtOption {
  std::string_view Name;
  bool TakesValue;
};
constexpr QtOption QtOptions[] = {
    {"background", true},
    {"bg", true},
    {"btn", true},
    {"button", true},
    {"cmap", false},
    {"dialogs", true},
    {"display", true},
    {"dograb", false},
    {"fg", true},
    {"fn", true},
    {"font", true},
    {"fontengine", true},
    {"foreground", true},
    {"geometry", true},
    {"icon", true},
    {"im", true},
    {"inputstyle", true},
    {"name", true},
    {"ncols", true},
    {"nograb", false},
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qdebug", false},
    {"qdevel", false},
    {"qmljsdebugger", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"reverse", false},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"sync", false},
    {"testability", false},
    {"title", true},
    {"visual", true},
    {"widgetcount", false},
};

}  // namespace

std::size_t QtOptionLength(const std::vector<std::string>& args, std::size_t index) {
  if (index >= args.size()) return 0;
  std::string_view arg = args[index];
  if (arg.size() < 2 || arg[0] != '-') return 0;
  arg.remove_prefix(arg[1] == '-' ? 2 : 1);
  const std::size_t equals = arg.find('=');
  const std::string_view name = arg.substr(0, equals);
  for (const QtOption& option : QtOptions) {
    if (option.Name != name) continue;
    if (equals != std::string_view::npos) return option.TakesValue ? 1 : 0;
    return option.TakesValue && index + 1 < args.size() ? 2 : 1;
  }
  return 0;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine c;
  c.OptionsEnd = args.size();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (i > c.OptionsEnd) {
      c.Files.push_back(arg);
    } else if (arg == "--") {
      c.OptionsEnd = i;
    } else if (const std::size_t qt = QtOptionLength(args, i)) {
      i += qt - 1;  // Qt's: for the window, and meaningless without one
    } else if (IsMode(arg)) {
      const std::string mode = arg == "-h" ? "--help" : arg;
      if (!c.Mode.empty() && c.Mode != mode)
        c.Error = "Only one of " + c.Mode + " and " + mode + " can be given";
      c.Mode = mode;
    } else if (arg == "--no-flip") {
      c.Read.FlipVertical = false;
    } else if (arg == "--parse-everything") {
      c.Read.ParseEverything = true;
    } else if (arg == "--reader") {
      const std::string value = i + 1 < args.size() ? args[++i] : std::string();
      if (value == "auto")
        c.Read.Reader = ReadAs::Automatic;
      else if (value == "lines")
        c.Read.Reader = ReadAs::IllustratorOperators;
      else if (value == "page")
        c.Read.Reader = ReadAs::PageDrawing;
      else
        c.Error = "--reader needs one of auto, lines, page";
    } else if (arg == "--reduce") {
      c.Reduce = true;
    } else if (arg == "--autofix") {
      c.AutoFix = true;
    } else if (arg == "--output") {
      if (i + 1 >= args.size()) {
        c.Error = "--output needs a PATH";
      } else {
        c.Output = args[++i];
      }
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      c.Error = "Unknown option " + arg;
      c.Unknown.push_back(arg);
    } else {
      c.Files.push_back(arg);
    }
  }
  return c;
}

std::string ProgramVersion() {
  return AIIMPORT_VERSION;  // the project version given to CMake
}

std::string UsageText() {
  return R"(Usage:
  aiimport [QT OPTIONS] [--] [FILE]
      Open the importer window, loading FILE when it names an existing file. Qt's own
      options go to Qt (-platform NAME, -style NAME, -geometry WxH+X+Y, -display NAME,
      -reverse, ...); an unknown option is ignored. After "--" every argument is a file
      name: aiimport -- -drawing.ai opens "-drawing.ai".

  aiimport --list FILE [--reader auto|lines|page] [--no-flip] [--parse-everything]
      Read FILE as a reload does and print one JSON object per line for every path read:
      index, GroupLevel, CompoundNo, Closed, Filled, Anticlockwise, Reversed, Flagged,
      LineColor, FillColor, count (points), box [MinX, MinY, MaxX, MaxY] and points
      [[Kind, X1, Y1, X2, Y2, X3, Y3], ...]; then one object with the ViewExtent the
      reading left, the number of lines read, the number of paths, how the file was read
      (route), what it holds that was not imported (notImported) and the status bar's text
      (status). The status text also goes to the error output when it is not empty.
      Exit code 2 when FILE is missing or cannot be read.

  aiimport --batch FILE [--reader auto|lines|page] [--reduce] [--autofix] [--no-flip]
                 [--parse-everything] [--output PATH]
      Import without a window: read FILE as a reload does, take the paths the object tree
      shows when it opens (the first toggle list, fills and strokes shown) in tree order,
      convert them and write the DOT file "~tempai.dot" to the host temporary directory
      (see docs/hostdir.md), or to PATH. Prints one line: paths, output points, figures,
      bytes, seconds, and what the file holds that was not imported. Exit code 1 with
      "There are no paths to import!" when there is nothing to import (nothing is written;
      why goes to the error output); exit code 2 with a message on any failure (no output
      file is left behind).

  aiimport --dump-dot FILE.dot
      Print every record of a DOT file: its offset and kind, then colour and flags for a
      header (kind 0) or x and y for a point (kinds 1 to 3); then check the structure (size a
      multiple of 10, first record a header, kinds 0 to 3, flags 0 to 3). Exit code 2 for a
      malformed file.

  aiimport --dot-svg FILE.dot OUT.svg
      Draw a DOT file as the host receives it: one SVG path per figure, a sub-path per start
      record, quadratic pieces joined at the midpoints of neighbouring control points, filled
      figures filled (non-zero rule), the others stroked. Exit code 2 for a malformed file.

  aiimport --help
      Show this text.

  aiimport --version
      Print the program's name and version.

Options:
  --reader auto|lines|page
                       How the file is read, as Options > Read As: "auto" (Automatic, the
                       default) reads Illustrator's own data wherever the file holds it (a
                       PDF-based .ai file, the data block of a CS-and-later EPS file, an
                       Illustrator file without start marker from its first line) and
                       otherwise the page the file draws; "lines" (Illustrator Operators)
                       reads the file's lines by the classic rules alone; "page" (Page
                       Drawing) reads the page the file draws: a PDF's first page, or the
                       page Ghostscript makes of PostScript, with lettering as outlines.
  --no-flip            Read as with "Flip_Vertical" unchecked: every y coordinate negated.
  --parse-everything   Read as with "Parse Everything" checked: operators are read from the
                       first line, not only after "%%EndSetup" and the other start markers.
  --reduce             Import as with "Reduce Nodes" checked: a curve becomes one or two
                       quadratic pieces where they stay close enough to it.
  --autofix            Import as with "Auto-Fix Holes" checked: outlines and their holes in a
                       compound path get opposite directions.
  --output PATH        Write the DOT file to PATH instead of the host temporary directory.
  --                   Every argument after it is a file name, also one starting with "-".

The modes report an unknown option (exit code 2); Qt's options mean nothing to them and are
left aside.

Environment:
  AIIMPORT_THREADS=N   Read and convert with N threads (1 to 1024; 1 runs everything on one
                       thread); without it, with as many as the machine has. The results are
                       the same whatever the number.
)";
}

std::vector<std::string> WindowArguments(const std::vector<std::string>& args) {
  return ParseCommandLine(args).Files;
}

std::size_t QtArgumentCount(const std::vector<std::string>& args) {
  return ParseCommandLine(args).OptionsEnd;
}

bool ForTheWindow(const std::vector<std::string>& args) {
  return ParseCommandLine(args).Mode.empty();
}

std::string WindowProgramPath() {
  constexpr const char* Name = "aiimport-window";
  const std::string selfPath = OwnProgramPath();
  if (selfPath.empty()) return Name;  // found through PATH, if at all
  const std::filesystem::path self = selfPath;
  const std::filesystem::path here = self.parent_path();
  const std::filesystem::path beside = here / Name;
  const std::filesystem::path installed = here / ".." / "libexec" / "aiimport" / Name;
  for (const std::filesystem::path& candidate : {beside, installed})
    if (MayExecute(candidate.string())) return candidate.lexically_normal().string();
  return beside.string();
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   AfterCommand after) {
  const CommandLine c = ParseCommandLine(args);
  if (c.Mode.empty()) {
    // The window's arguments: an option it does not know does not keep it from opening.
    for (const std::string& option : c.Unknown)
      err << "aiimport: unknown option " << option << " ignored\n";
    return -1;
  }
  if (!c.Error.empty()) {
    err << "aiimport: " << c.Error << " (see aiimport --help)\n";
    return ExitFailure;
  }
  if (c.Mode == "--help") {
    out << UsageText();
    return ExitOk;
  }
  if (c.Mode == "--version") {
    out << "aiimport " << ProgramVersion() << '\n';
    return ExitOk;
  }
  if (c.Mode == "--list") return RunList(c, out, err);
  if (c.Mode == "--batch") return RunBatch(c, out, err, after);
  if (c.Mode == "--dump-dot") return RunDumpDot(c, out, err);
  if (c.Mode == "--dot-svg") return RunDotSvg(c, out, err);
  err << "aiimport: " << c.Mode << " is not available\n";
  return ExitFailure;
}

}  // namespace aiimport
