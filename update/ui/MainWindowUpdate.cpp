#include "update/ui/MainWindowUpdate.h"

#include <QAction>
#include <QCoreApplication>
#include <QProgressBar>
#include <QStatusBar>

namespace qm::ui {

TMainWindowUpdate::TMainWindowUpdate(QMainWindow& window, QAction& menuItem, StatusSink showStatus)
    : window_(window),
      showStatus_(std::move(showStatus)),
      dialog_(&window),
      command_(menuItem, *this, adapter_) {
  QObject::connect(&menuItem, &QAction::triggered, &dialog_, [this] { N22Click(); });
}

void TMainWindowUpdate::ShowTransferProgress() {
  if (auto* bar = window_.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))) bar->show();
}

void TMainWindowUpdate::Terminate() {
  window_.close();
  QCoreApplication::quit();
}

}  // namespace qm::ui
