// Drives the window through one whole task without a user: the new-task flow for a start URL
// (its dialogs confirmed as proposed), the run to its end, then closing. Reports the run's time
// and the worst delay of the GUI thread's event loop (how late a 10 ms timer fired), and can save
// a picture of the window during the run. Used by bench/window_vs_cli.sh and
// scripts/screenshot.sh.
//
//   bench_window_run URL --folder DIR [--threads N] [--pace F] [--scope 0|1|2] [--content 1|0|-1]
//                    [--shot FILE --shot-at PERCENT]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/Setting.h"
#include "engine/RunSupervisor.h"
#include "manager/TaskManager.h"
#include "platform/Pacing.h"
#include "task/Task.h"
#include "ui/MainWindow.h"
#include "ui/QtWindowPort.h"
#include "ui/dialogs/DialogService.h"

using namespace qm;
using namespace qm::ui;

namespace {

// Every dialog confirmed as the window proposes it; the new task starts at once.
class ConfirmAll final : public TWindowDialogs {
 public:
  bool NewTask(QWidget*, TNewTaskFields&) override {
    StartAtOnce = true;
    return true;
  }
  bool MainSettings(QWidget*) override { return true; }
  bool NewCategory(QWidget*, QString&) override { return false; }
  bool ConfirmDirectories(QWidget*, TTask&, std::vector<TDirChoice>&) override { return true; }
};

// Message boxes (the end-of-run box) are answered at once.
class SilentBoxes final : public DialogService {
 public:
  QMessageBox::StandardButton Message(QWidget*, const QString&, const QString&,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::Icon) override {
    return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Yes;
  }
  int Exec(QDialog&) override { return QDialog::Accepted; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
};

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

std::string ProgramDir(std::string dir) {
  for (char& c : dir)
    if (c == '/') c = '\\';
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: bench_window_run URL --folder DIR [--threads N] [--pace F] "
                 "[--scope S] [--content C] [--shot FILE --shot-at PERCENT]\n");
    return 2;
  }
  const std::string url = argv[1];
  const std::string folder = Arg(argc, argv, "--folder", "window-run");
  const std::string shot = Arg(argc, argv, "--shot", "");
  const int shotAt = std::atoi(Arg(argc, argv, "--shot-at", "30"));
  SetPacingFactor(std::atof(Arg(argc, argv, "--pace", "0")));

  SilentBoxes boxes;
  SetDialogs(&boxes);
  ConfirmAll dialogs;
  TWindowOptions options;
  options.DirFile = folder + "/Dir.ini";
  options.SettingsFile = folder + "/quillmoss.ini";
  options.WebsitesParent = ProgramDir(folder);
  options.Dialogs = &dialogs;
  TForm1 window(options);
  // The settings file may not exist: these come after reading it.
  ThreadCount = std::atoi(Arg(argc, argv, "--threads", "10"));
  DefaultScope = std::atoi(Arg(argc, argv, "--scope", "0"));
  DefaultContent = std::atoi(Arg(argc, argv, "--content", "1"));
  DefaultDepth = -1;
  window.show();

  // How late the GUI thread serves a 10 ms timer, over the whole run.
  qint64 worstDelay = 0;
  QElapsedTimer tick;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout,
                   [&] { worstDelay = std::max(worstDelay, tick.restart() - 10); });

  QElapsedTimer run;
  bool shotTaken = shot.empty();
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    TTask* task = window.Manager().CurrentTask();
    if (!shotTaken && task && task->Recount() >= shotAt) {
      shotTaken = true;
      window.grab().save(QString::fromStdString(shot));
    }
    const bool ended = task && (task->State == Complete || task->State == Stopped);
    if (ended && !RunsActive()) {
      const double seconds = run.nsecsElapsed() / 1e9;
      std::printf("window run: %.3f s, worst event-loop delay: %lld ms\n", seconds,
                  static_cast<long long>(worstDelay));
      if (!shotTaken) window.grab().save(QString::fromStdString(shot));
      QTimer::singleShot(0, &window, [&] { window.close(); });
      QTimer::singleShot(0, &app, &QApplication::quit);
      watch.stop();
    }
  });

  // The run starts once the window is up and painted (the first paint loads the fonts).
  QTimer::singleShot(500, &window, [&] {
    run.start();
    tick.start();
    probe.start(10);
    watch.start(20);
    window.findChild<QComboBox*>(QStringLiteral("EditUrl"))
        ->setEditText(QString::fromStdString(url));
    window.NewTask();
  });
  const int rc = QApplication::exec();
  SetDialogs(nullptr);
  return rc;
}
