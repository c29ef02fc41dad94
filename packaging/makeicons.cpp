// Writes the program's icon into an icon theme folder, drawn by the code that draws it in the
// window: makeicons OUTDIR SIZE... writes OUTDIR/SIZExSIZE/apps/aiimport.png for every SIZE and
// OUTDIR/scalable/apps/aiimport.svg.
#include <QDir>
#include <QImage>
#include <QString>
#include <fstream>
#include <iostream>

#include "icons.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: makeicons OUTDIR SIZE...\n";
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const std::vector<aiimport::IconShape> shapes = aiimport::ProgramIconShapes();
  for (int i = 2; i < argc; ++i) {
    const int size = QString::fromLocal8Bit(argv[i]).toInt();
    const QString dir = out.filePath(QStringLiteral("%1x%1/apps").arg(size));
    const QImage image = aiimport::DrawIcon(shapes, aiimport::ProgramIconUnits, size);
    if (size <= 0 || !QDir().mkpath(dir) ||
        !image.save(dir + QStringLiteral("/aiimport.png"), "PNG")) {
      std::cerr << "makeicons: cannot write the " << argv[i] << " pixel icon\n";
      return 2;
    }
  }
  const QString dir = out.filePath(QStringLiteral("scalable/apps"));
  QDir().mkpath(dir);
  std::ofstream svg((dir + QStringLiteral("/aiimport.svg")).toStdString(), std::ios::binary);
  svg << aiimport::IconSvg(shapes, aiimport::ProgramIconUnits);
  svg.close();
  if (!svg) {
    std::cerr << "makeicons: cannot write the scalable icon\n";
    return 2;
  }
  return 0;
}
