// quillmoss: the window. Its one command-line option is --pace F, the factor every fixed pause
// of a run is scaled by (1 when not given; 0 runs without pauses, for checks and benchmarks).
#include <QAction>
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/HeapArenas.h"
#include "platform/Pacing.h"
#include "ui/MainWindow.h"
#include "update/ui/MainWindowUpdate.h"

namespace {

bool ReadPace(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pace") != 0) continue;
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    const double pace = std::strtod(argv[i + 1], &end);
    if (end == argv[i + 1] || *end != '\0' || pace < 0 || pace > 100) return false;
    qm::SetPacingFactor(pace);
    ++i;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qm::LimitHeapArenas();
  QApplication app(argc, argv);  // takes Qt's own options (-platform ...) out first
  if (!ReadPace(argc, argv)) {
    std::fprintf(stderr, "usage: quillmoss [--pace F]   (F: 0 to 100, the pacing factor)\n");
    return 2;
  }
  QApplication::setApplicationName(QStringLiteral("quillmoss"));
  qm::ui::TForm1 window;
  // The online update, above the window's layer: bound to its "在线升级" item.
  qm::ui::TMainWindowUpdate update(
      window, *window.findChild<QAction*>(QStringLiteral("N22")),
      [&window](const QString& text) { window.ShowStatus(text.toStdString()); });
  window.show();
  return QApplication::exec();
}
