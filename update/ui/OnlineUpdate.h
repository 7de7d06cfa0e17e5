#pragma once
// The window's command "在线升级" (N22Click): the update list from the update server, the newer
// files offered in the update list dialog, the ticked ones downloaded, then the replacement batch
// started and the program ended. Requests run off the GUI thread while the window keeps
// processing its events, and each fails after the update's limits.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "engine/HttpClient.h"
#include "update/UpdateFetch.h"

class QAction;
class QDialog;
class QWidget;

namespace qm::ui {

// What the command needs of the main window.
class TUpdateWindow {
 public:
  virtual ~TUpdateWindow() = default;
  virtual QWidget* DialogParent() = 0;
  // The status bar's message panel (ShowStatus).
  virtual void ShowStatus(const QString& text) = 0;
  // Before the downloads: the progress bar shown, the status bar out of simple mode.
  virtual void ShowTransferProgress() = 0;
  // Ends the application after a successful download.
  virtual void Terminate() = 0;
};

// The update list dialog as the command uses it: its list with tick boxes and its HTTP client,
// whose transfer hooks may run on the thread of a request.
class TUpdateListDialog {
 public:
  virtual ~TUpdateListDialog() = default;
  virtual QDialog& Dialog() = 0;
  virtual THttpClient& Client() = 0;
  virtual void ClearRows() = 0;
  // One ticked row: description, size, version, date, file name.
  virtual void AddRow(const QStringList& cells) = 0;
  virtual bool RowTicked(int row) const = 0;
};

class TOnlineUpdate {
 public:
  TOnlineUpdate(QAction& menuItem, TUpdateWindow& window, TUpdateListDialog& dialog);

  void N22Click();

  // Where the program's files are (native, ending in "/") and the name the list knows it by:
  // the executable's folder and name unless set otherwise.
  std::string Folder;
  std::string ProgramName;
  TUpdateServers Servers;  // from the settings file unless set otherwise
  TUpdateLimits Limits;
  // Starts the replacement after the batch file is written; StartSelfReplace by default.
  std::function<bool()> StartReplacement;

 private:
  // Runs one blocking step on another thread while the GUI thread keeps processing events.
  // Rethrows the step's exception.
  void RunOffGuiThread(const std::function<void()>& step);
  void Run();
  void Finish(const QString& status, const QString& message, bool enableCommand);

  QAction& menuItem_;
  TUpdateWindow& window_;
  TUpdateListDialog& dialog_;
};

}  // namespace qm::ui
