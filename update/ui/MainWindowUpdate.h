#pragma once
// The update command as the main window holds it: the update list dialog, created once, and the
// command bound to the window's status text, progress bar and close.
#include <QMainWindow>
#include <functional>
#include <memory>

#include "ui/dialogs/ConfirmListDlg.h"
#include "update/ui/ConfirmListAdapter.h"
#include "update/ui/OnlineUpdate.h"

class QAction;

namespace qm::ui {

class TMainWindowUpdate final : public TUpdateWindow {
 public:
  using StatusSink = std::function<void(const QString&)>;
  // `menuItem` is the window's "在线升级" item (N22), whose triggering now runs the command;
  // `showStatus` the window's ShowStatus. Destroy this before the window (its dialog is the
  // window's child).
  TMainWindowUpdate(QMainWindow& window, QAction& menuItem, StatusSink showStatus);

  void N22Click() { command_.N22Click(); }

  QWidget* DialogParent() override { return &window_; }
  void ShowStatus(const QString& text) override { showStatus_(text); }
  void ShowTransferProgress() override;
  // Closes the window as the user would, so settings, tree and task are saved, then ends.
  void Terminate() override;

 private:
  QMainWindow& window_;
  StatusSink showStatus_;
  TConfirmListDlg dialog_;
  TConfirmListAdapter adapter_{dialog_};
  TOnlineUpdate command_;
};

}  // namespace qm::ui
