#pragma once
// The main window (TForm1): the category tree, the task list, the log, the toolbar of task
// commands and the status bar. Its layout is MainWindow.ui; this class holds the behaviour: the
// start-up and shutdown steps, every command, the tree's rules and the run display.
#include <QMainWindow>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "manager/DirUnit.h"
#include "ui/WindowDialogs.h"
#include "ui/WindowSide.h"

class QMenu;
class QProgressBar;
class QLabel;
class QTreeWidgetItem;

namespace Ui {
class TForm1;
}

namespace qm {
class TTask;
class TTaskManager;
}  // namespace qm

namespace qm::ui {

class TDialogCommands;

class QtWindowPort;
class TTreeViewBinding;

struct TWindowOptions {
  std::string DirFile;       // the category tree file; DefaultDirFile() when empty
  std::string SettingsFile;  // the settings file; SettingsFile() when empty
  // Where new task files are proposed ("\"-separated, ending in "\"): below it "Websites\".
  // Empty: the program's directory when it can be written, else the home directory.
  std::string WebsitesParent;
  TWindowDialogs* Dialogs = nullptr;  // the program's dialogs when null
};

// The preset schemes of "按预定方案新建".
enum class TScheme { SinglePage, ThisDirectory, OneLevel, WholeSite };

class TForm1 final : public QMainWindow, public TWindowSide {
  Q_OBJECT
 public:
  explicit TForm1(TWindowOptions options = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  Ui::TForm1& Controls() { return *ui_; }
  TTaskManager& Manager() { return *manager_; }
  TDir& Dir() { return *dir_; }
  // The settings, tool and file dialogs of the menus (per-task settings, update and other
  // settings, delete directory, import, about).
  TDialogCommands& DialogCommands() { return *dialogCommands_; }
  QtWindowPort& Port() { return *port_; }
  QMenu* PopupMenuTree() const { return popupTree_; }
  QMenu* PopupMenuRecycled() const { return popupRecycled_; }
  QMenu* PopupMenuTask() const { return popupTask_; }
  // The pop-up menu a click on the selected tree node chose (null: none).
  QMenu* TreePopupMenu() const { return treePopup_; }
  // Opens addresses and local files in the desktop's handlers (tests record instead).
  std::function<void(const QUrl&)> OpenUrl;

  // ---- commands (toolbar, menus, pop-up menus) ----
  void NewTask();
  void NewTaskWithScheme(TScheme scheme);
  void NewCategory();
  void LoadTask();
  void SaveTask();
  void RunTask();
  void PauseTask();
  void StopTask();
  void RepairTask();
  void UpdateTask();
  void RestartTask();
  void RunFromTree(std::int32_t runMode);
  void RestartFromTree();
  void TaskSettingsFromTree();
  void OfflineBrowse();
  void OnlineBrowse();
  void DeleteNode();
  void EmptyRecycleBin();
  void DumpUrlTable();

  // ---- the tree ----
  std::int32_t AddTaskItem(const TDirItem& item);
  std::int32_t SelectedItem() const;  // the selected node's item, -1 when none
  bool SelectItem(std::int32_t item);
  bool TreeAcceptsDrop(QTreeWidgetItem* target, QTreeWidgetItem* dragged) const;
  void TreeDrop(QTreeWidgetItem* target, QTreeWidgetItem* dragged);
  void TreeClicked();
  void PopupMenuTreePopup();

  // ---- the run display ----
  void TimerStatisticTimer();
  void TimerProgressTimer();
  void TimerSaveTimer();
  // Free bytes of the volume holding `folder` (tests may pretend a full disk).
  std::function<std::int64_t(const std::string& folder)> FreeBytes;
  int LogLineCount() const;
  QString LogText() const;

  // The task list's row of task `index` (its selected-row task when a row is selected).
  TTask* SelectedRowTask() const;
  TTask* RowTask(int row) const;

  // Stops every run and serves its threads' window calls until all have ended (closing).
  void StopAndDrain();

  // ---- TWindowSide: what the engine's calls do, on the GUI thread ----
  void AppendLog(const std::vector<TLogLine>& lines) override;
  void ShowStatus(const std::string& text) override;
  void SetProgress(int percent) override;
  void SetListRow(int row, const TListRowTexts& texts) override;
  void ClearTaskList() override;
  int AddTaskListRow() override;
  void ShowTaskCommands(const std::string& startUrl, const TTaskCommandStates& enabled) override;
  void ShowStatistics() override;
  void ShowMessage(const std::string& text) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  bool EditMainSettings() override;
  void ConfirmDirectories(TTask& task) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildStatusBar();
  void BuildPopupMenus();
  void ConnectCommands();
  void StartUp();
  void ShutDown();
  // Runs a command; an error it raises is shown in a message box and the window goes on.
  void Guarded(const std::function<void()>& command);
  // The scheduler, never entered twice: a request made while it runs is served after it.
  void StartNext();
  void ProposeNewTask(TNewTaskFields& fields) const;
  // Steps 1 to 3 of the new-task flow: the dialog, then the tree item it describes.
  bool AskNewTaskItem(TDirItem& item);
  // The category a new node goes into, from the selected node.
  std::int32_t TargetCategory() const;
  // The selected tree node's task item for a tree command: -1 (after the message) when none.
  std::int32_t TreeTaskItem();
  // StartURL of item `item`, refreshed from its loaded task.
  std::string BrowseUrl(std::int32_t item);
  std::string WebsitesFolder() const;
  TTask* CommandTask() const;  // the selected-row task, else CurrentTask

  std::unique_ptr<Ui::TForm1> ui_;
  TWindowOptions options_;
  std::unique_ptr<TWindowDialogs> ownDialogs_;
  TWindowDialogs* dialogs_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* statusPanel_ = nullptr;
  QMenu* popupTree_ = nullptr;
  QMenu* popupRecycled_ = nullptr;
  QMenu* popupTask_ = nullptr;
  QMenu* treePopup_ = nullptr;
  QTimer timerStatistic_, timerProgress_, timerSave_;
  std::unique_ptr<TDir> dir_;
  std::unique_ptr<TTreeViewBinding> treeView_;
  std::unique_ptr<TTaskManager> manager_;
  std::unique_ptr<TDialogCommands> dialogCommands_;
  std::unique_ptr<QtWindowPort> port_;
  class TStarter;
  std::unique_ptr<TStarter> starter_;
  bool inScheduler_ = false;
  bool schedulerAgain_ = false;
  bool shutDown_ = false;
  int rowCount_ = 0;
};

}  // namespace qm::ui
