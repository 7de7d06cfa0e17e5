#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <chrono>
#include <filesystem>

#include "config/Setting.h"
#include "engine/RunSupervisor.h"
#include "manager/TaskManager.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "ui/DirTreeWidget.h"
#include "ui/QtWindowPort.h"
#include "ui/dialogs/DialogCommands.h"
#include "ui/dialogs/DialogService.h"
#include "ui_MainWindow.h"
#include "url/UrlLib.h"

// The window's images live in a static library: they are registered before the first window.
static void InitWindowResources() {
  Q_INIT_RESOURCE(quillmoss);
}

namespace qm::ui {

// The scheduler as the engine reaches it after a run: through the window's guard.
class TForm1::TStarter final : public TNextTaskStarter {
 public:
  explicit TStarter(TForm1& form) : form_(form) {}
  void StartNext() override { form_.StartNext(); }

 private:
  TForm1& form_;
};

TForm1::TForm1(TWindowOptions options, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), options_(std::move(options)) {
  InitWindowResources();
  ui_->setupUi(this);
  OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  FreeBytes = [](const std::string& folder) -> std::int64_t {
    std::error_code error;
    const auto space = std::filesystem::space(NativePath(folder), error);
    return error ? -1 : static_cast<std::int64_t>(space.available);
  };
  const int widths[] = {100, 50, 200, 50, 80, 60, 50};
  for (int i = 0; i < 7; ++i) ui_->ListView1->setColumnWidth(i, widths[i]);
  ui_->ListView1->setMaximumHeight(QWIDGETSIZE_MAX);
  ui_->Splitter1->setSizes({200, 495});
  ui_->Splitter2->setSizes({112, 200});
  ui_->RichEditStatistic->setText(QStringLiteral("下载速度=0B/s"));
  BuildStatusBar();
  BuildPopupMenus();
  ConnectCommands();
  StartUp();
  // Then the dialogs, created once each.
  dialogs_ = options_.Dialogs;
  if (!dialogs_) {
    ownDialogs_ = MakeProgramDialogs(this);
    dialogs_ = ownDialogs_.get();
  }
  dialogCommands_ = std::make_unique<TDialogCommands>(*manager_, *dir_, this);
}

TForm1::~TForm1() {
  // Whatever way the window ends, no thread of a run may outlive it.
  StopAndDrain();
  SetNextTaskStarter(nullptr);
  SetWindow(nullptr);
  dialogCommands_.reset();
  manager_.reset();
  if (dir_) dir_->View = nullptr;
}

void TForm1::BuildStatusBar() {
  progressBar_ = new QProgressBar(ui_->StatusBar1);
  progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
  progressBar_->setFixedSize(150, 16);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  statusPanel_ = new QLabel(ui_->StatusBar1);
  statusPanel_->setObjectName(QStringLiteral("StatusPanel1"));
  // Panel 0 (150 wide) carries the progress bar; panel 1 stretches to the right edge.
  ui_->StatusBar1->addWidget(progressBar_, 0);
  ui_->StatusBar1->addWidget(statusPanel_, 1);
}

void TForm1::BuildPopupMenus() {
  popupTree_ = new QMenu(this);
  popupTree_->setObjectName(QStringLiteral("PopupMenuTree"));
  popupTree_->addActions(
      {ui_->NProjLoad, ui_->NProjDownLoad, ui_->NProjRepair, ui_->NProjUpdate, ui_->NProjReStart});
  popupTree_->addSeparator();
  popupTree_->addActions({ui_->N34, ui_->N35});
  popupTree_->addSeparator();
  popupTree_->addAction(ui_->N39);
  popupRecycled_ = new QMenu(this);
  popupRecycled_->setObjectName(QStringLiteral("PopupMenuRecycled"));
  popupRecycled_->addAction(ui_->N37);
  popupTask_ = new QMenu(this);
  popupTask_->setObjectName(QStringLiteral("PopupMenuTask"));
  popupTask_->addActions({ui_->NTaskSave, ui_->NTaskRun, ui_->NTaskPause, ui_->NTaskStop,
                          ui_->NTaskRepair, ui_->NTaskUpdate});
}

void TForm1::ConnectCommands() {
  auto on = [this](auto* sender, auto signal, std::function<void()> command) {
    connect(sender, signal, this, [this, command] { Guarded(command); });
  };
  using B = QToolButton;
  using A = QAction;
  on(ui_->ToolButton3, &B::clicked, [this] { NewCategory(); });
  on(ui_->ToolButtonNew, &B::clicked, [this] { NewTask(); });
  on(ui_->ToolButtonDel, &B::clicked, [this] { DeleteNode(); });
  on(ui_->ToolButtonOpen, &B::clicked, [this] { LoadTask(); });
  on(ui_->ToolButtonSave, &B::clicked, [this] { SaveTask(); });
  on(ui_->ToolButtonRun, &B::clicked, [this] { RunTask(); });
  on(ui_->ToolButtonPause, &B::clicked, [this] { PauseTask(); });
  on(ui_->ToolButtonStop, &B::clicked, [this] { StopTask(); });
  on(ui_->ToolButtonRepair, &B::clicked, [this] { RepairTask(); });
  on(ui_->ToolButtonUpdate, &B::clicked, [this] { UpdateTask(); });
  on(ui_->ToolButtonRestart, &B::clicked, [this] { RestartTask(); });

  on(ui_->N27, &A::triggered, [this] { DeleteNode(); });
  on(ui_->N5, &A::triggered, [this] { NewTask(); });
  on(ui_->N15, &A::triggered, [this] { NewTaskWithScheme(TScheme::SinglePage); });
  on(ui_->N33, &A::triggered, [this] { NewTaskWithScheme(TScheme::ThisDirectory); });
  on(ui_->N36, &A::triggered, [this] { NewTaskWithScheme(TScheme::OneLevel); });
  on(ui_->N16, &A::triggered, [this] { NewTaskWithScheme(TScheme::WholeSite); });
  on(ui_->N6, &A::triggered, [this] { LoadTask(); });
  on(ui_->N7, &A::triggered, [this] { SaveTask(); });
  on(ui_->N9, &A::triggered, [this] { RunTask(); });
  on(ui_->N10, &A::triggered, [this] { StopTask(); });
  on(ui_->N11, &A::triggered, [this] { PauseTask(); });
  on(ui_->N12, &A::triggered, [this] { RepairTask(); });
  on(ui_->N17, &A::triggered, [this] { ShowStatistics(); });
  on(ui_->N30, &A::triggered, [this] { DumpUrlTable(); });
  on(ui_->N14, &A::triggered, [this] { dialogs_->MainSettings(this); });
  // Dialogs of the next steps.
  on(ui_->NImport, &A::triggered, [this] {
    dialogCommands_->Import([this](const TDirItem& item) { return AddTaskItem(item); });
  });
  on(ui_->N19, &A::triggered, [this] { dialogCommands_->DeleteDirectory(); });
  // "在线升级" (N22) is bound by the program entry to the online update (update/ui/).
  on(ui_->N31, &A::triggered, [this] { dialogCommands_->UpdateSettings(); });
  on(ui_->N20, &A::triggered, [this] { dialogCommands_->OtherSettings(); });
  on(ui_->N1, &A::triggered, [this] { dialogCommands_->About(); });
  on(ui_->N39, &A::triggered, [this] { TaskSettingsFromTree(); });
  // "退出" has no action of its own.
  on(ui_->N25, &A::triggered,
     [this] { OpenUrl(QUrl(QStringLiteral("https://quillmoss.example.org/"))); });
  on(ui_->N26, &A::triggered,
     [this] { OpenUrl(QUrl(QStringLiteral("https://forum.quillmoss.example.org/"))); });
  on(ui_->N29, &A::triggered,
     [this] { OpenUrl(QUrl(QStringLiteral("mailto:author@quillmoss.example.org"))); });

  on(ui_->NProjLoad, &A::triggered, [this] { LoadTask(); });
  on(ui_->NProjDownLoad, &A::triggered, [this] { RunFromTree(RunNormal); });
  on(ui_->NProjRepair, &A::triggered, [this] { RunFromTree(RunRepair); });
  on(ui_->NProjUpdate, &A::triggered, [this] { RunFromTree(RunUpdate); });
  on(ui_->NProjReStart, &A::triggered, [this] { RestartFromTree(); });
  on(ui_->N34, &A::triggered, [this] { OfflineBrowse(); });
  on(ui_->N35, &A::triggered, [this] { OnlineBrowse(); });
  on(ui_->N37, &A::triggered, [this] { EmptyRecycleBin(); });
  on(ui_->NTaskRun, &A::triggered, [this] { RunTask(); });
  on(ui_->NTaskPause, &A::triggered, [this] { PauseTask(); });
  on(ui_->NTaskStop, &A::triggered, [this] { StopTask(); });
  on(ui_->NTaskRepair, &A::triggered, [this] { RepairTask(); });
  on(ui_->NTaskUpdate, &A::triggered, [this] { UpdateTask(); });

  // The tree.
  TDirTreeWidget* tree = ui_->TreeView1;
  tree->AcceptsDrop = [this](QTreeWidgetItem* t, QTreeWidgetItem* d) {
    return TreeAcceptsDrop(t, d);
  };
  tree->Dropped = [this](QTreeWidgetItem* t, QTreeWidgetItem* d) {
    Guarded([&] { TreeDrop(t, d); });
  };
  connect(tree, &TDirTreeWidget::DeletePressed, this,
          [this] { Guarded([this] { DeleteNode(); }); });
  connect(tree, &QTreeWidget::itemClicked, this, [this] { TreeClicked(); });
  connect(tree, &QTreeWidget::itemDoubleClicked, this,
          [this] { Guarded([this] { OfflineBrowse(); }); });
  connect(tree, &QTreeWidget::customContextMenuRequested, this, [this, tree](const QPoint& at) {
    if (QTreeWidgetItem* item = tree->itemAt(at)) tree->setCurrentItem(item);
    TreeClicked();
    if (treePopup_ == popupTree_) PopupMenuTreePopup();
    if (treePopup_) treePopup_->popup(tree->viewport()->mapToGlobal(at));
  });
  auto expandFlag = [this](QTreeWidgetItem* node, bool expanded) {
    if (treeView_->Filling()) return;
    const std::int32_t item = dir_->IndexOfNode(TTreeViewBinding::Node(node));
    if (item >= 0) dir_->Items[static_cast<std::size_t>(item)].Expand = expanded;
  };
  connect(tree, &QTreeWidget::itemExpanded, this,
          [expandFlag](QTreeWidgetItem* n) { expandFlag(n, true); });
  connect(tree, &QTreeWidget::itemCollapsed, this,
          [expandFlag](QTreeWidgetItem* n) { expandFlag(n, false); });
  connect(tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node, int) {
    if (treeView_->Filling()) return;
    const std::int32_t item = dir_->IndexOfNode(TTreeViewBinding::Node(node));
    if (item < 0) return;
    std::string text = node->text(0).toStdString();
    if (text == dir_->Items[static_cast<std::size_t>(item)].Name) return;
    dir_->RenameItem(item, text);  // blanks keep the old name, which `text` then holds
    QSignalBlocker block(ui_->TreeView1);
    node->setText(0, QString::fromStdString(text));
  });

  // The task list.
  // Selecting a row shows its task's commands; deselecting one shows the commands of the task
  // that was deselected, as the list's selection event reports that row.
  connect(ui_->ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            const QItemSelection& changed = selected.isEmpty() ? deselected : selected;
            if (changed.isEmpty()) return;
            if (TTask* task = RowTask(changed.indexes().front().row()))
              manager_->ShowTaskCommands(task);
          });
  connect(ui_->ListView1, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    popupTask_->popup(ui_->ListView1->viewport()->mapToGlobal(at));
  });

  // The three timers (Part of the run display).
  timerStatistic_.setInterval(1000);
  timerProgress_.setInterval(5000);
  timerSave_.setInterval(300000);
  connect(&timerStatistic_, &QTimer::timeout, this,
          [this] { Guarded([this] { TimerStatisticTimer(); }); });
  connect(&timerProgress_, &QTimer::timeout, this,
          [this] { Guarded([this] { TimerProgressTimer(); }); });
  connect(&timerSave_, &QTimer::timeout, this, [this] { Guarded([this] { TimerSaveTimer(); }); });
}

void TForm1::StartUp() {
  // 1. The progress bar sits in status panel 0 at position 0 (BuildStatusBar).
  progressBar_->setValue(0);
  // 2. The refused-link strings start with their two entries.
  RejectStrings.Assign({"cookies.asp?", "&action="});
  // 3. The task manager and the category tree bound to the tree view.
  port_ = std::make_unique<QtWindowPort>(*this);
  SetWindow(port_.get());
  dir_ = std::make_unique<TDir>(options_.DirFile.empty() ? DefaultDirFile() : options_.DirFile);
  treeView_ = std::make_unique<TTreeViewBinding>(*ui_->TreeView1);
  dir_->View = treeView_.get();
  manager_ = std::make_unique<TTaskManager>(*dir_);
  starter_ = std::make_unique<TStarter>(*this);
  SetNextTaskStarter(starter_.get());
  try {
    dir_->LoadDir();
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
  }
  dir_->FillView();
  // 4. An empty task list; the settings file.
  ClearTaskList();
  if (!options_.SettingsFile.empty()) SetSettingsFile(options_.SettingsFile);
  try {
    LoadSettings();
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
  }
  timerStatistic_.start();
  timerProgress_.start();
  timerSave_.start();
}

void TForm1::StopAndDrain() {
  if (!port_) return;
  if (RunsActive()) {
    // No question is asked any more and none is waited for; the calls the threads still make
    // (the end-of-run report saves the task file) are served here until every thread has ended.
    port_->SetClosing(true);
    BeginShutdown();
    while (RunsActive()) port_->Drain(std::chrono::milliseconds(20));
    JoinAllRuns();
    port_->Flush();
    EndShutdown();
  }
  JoinAllRuns();
}

void TForm1::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  timerStatistic_.stop();
  timerProgress_.stop();
  timerSave_.stop();
  StopAndDrain();
  port_->SetClosing(true);
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
  }
  try {
    if (dir_->DeletedCount > 0) dir_->Compact();
    dir_->SaveDir();
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
  }
  if (TTask* task = manager_->CurrentTask()) {
    const TTaskFileResult saved = SaveTaskFile(*task);
    if (!saved) Dialogs().Error(this, QString::fromStdString(saved.Message));
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  ShutDown();
  event->accept();
}

void TForm1::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
  }
}

void TForm1::StartNext() {
  if (shutDown_ || ShuttingDown()) return;
  if (inScheduler_) {
    // Asked again while the scheduler waits for something (a task file being read): served
    // once it has finished, never inside it.
    if (!schedulerAgain_) {
      schedulerAgain_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            schedulerAgain_ = false;
            Guarded([this] { StartNext(); });
          },
          Qt::QueuedConnection);
    }
    return;
  }
  inScheduler_ = true;
  try {
    manager_->StartNext();
  } catch (...) {
    inScheduler_ = false;
    throw;
  }
  inScheduler_ = false;
}

// ---- TWindowSide ----------------------------------------------------------------------------

void TForm1::AppendLog(const std::vector<TLogLine>& lines) {
  QPlainTextEdit* memo = ui_->Memo1;
  QScrollBar* bar = memo->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  QTextCursor cursor(memo->document());
  cursor.movePosition(QTextCursor::End);
  static const QTextCharFormat plain;
  static const QTextCharFormat red = [] {
    QTextCharFormat f;
    f.setForeground(QColor(Qt::red));
    return f;
  }();
  bool first = memo->document()->isEmpty();
  cursor.beginEditBlock();
  // Runs of lines of one colour go in as one insertion.
  for (std::size_t i = 0; i < lines.size();) {
    const bool isRed = lines[i].second;
    QString text;
    std::size_t j = i;
    for (; j < lines.size() && lines[j].second == isRed; ++j) {
      if (j > i) text += QChar('\n');
      text += QString::fromStdString(lines[j].first);
    }
    if (!first) cursor.insertBlock();
    first = false;
    cursor.insertText(text, isRed ? red : plain);
    i = j;
  }
  cursor.endEditBlock();
  if (atEnd) bar->setValue(bar->maximum());
}

void TForm1::ShowStatus(const std::string& text) {
  statusPanel_->setText(QString::fromStdString(text));
}

void TForm1::SetProgress(int percent) {
  progressBar_->setValue(std::clamp(percent, 0, 100));
}

void TForm1::SetListRow(int row, const TListRowTexts& texts) {
  QTreeWidgetItem* item = ui_->ListView1->topLevelItem(row);
  if (!item) return;
  item->setText(0, QString::fromStdString(texts.Caption));
  for (std::size_t i = 0; i < texts.SubItems.size() && i < 6; ++i)
    item->setText(static_cast<int>(i) + 1, QString::fromStdString(texts.SubItems[i]));
}

void TForm1::ClearTaskList() {
  // Refilling the list is no user's deselection: it must not change the enabled commands.
  QSignalBlocker block(ui_->ListView1->selectionModel());
  ui_->ListView1->clear();
}

int TForm1::AddTaskListRow() {
  auto* item = new QTreeWidgetItem(ui_->ListView1);
  item->setIcon(0, QIcon(QStringLiteral(":/icons/task.svg")));
  return ui_->ListView1->indexOfTopLevelItem(item);
}

void TForm1::ShowTaskCommands(const std::string& startUrl, const TTaskCommandStates& enabled) {
  ui_->EditUrl->setEditText(QString::fromStdString(startUrl));
  ui_->ToolButtonRun->setEnabled(enabled.Run);
  ui_->ToolButtonPause->setEnabled(enabled.Pause);
  ui_->ToolButtonStop->setEnabled(enabled.Stop);
  ui_->ToolButtonRepair->setEnabled(enabled.Repair);
  ui_->ToolButtonUpdate->setEnabled(enabled.Update);
  ui_->ToolButtonRestart->setEnabled(enabled.Restart);
  ui_->NTaskRun->setEnabled(enabled.NTaskRun);
  ui_->NTaskPause->setEnabled(enabled.NTaskPause);
  ui_->NTaskStop->setEnabled(enabled.NTaskStop);
  ui_->NTaskRepair->setEnabled(enabled.NTaskRepair);
  ui_->NTaskUpdate->setEnabled(enabled.NTaskUpdate);
}

void TForm1::ShowMessage(const std::string& text) {
  Dialogs().Info(this, QString::fromStdString(text));
}

bool TForm1::AskOkCancel(const std::string& text, const std::string& caption) {
  return Dialogs().OkCancel(this, QString::fromStdString(text), QString::fromStdString(caption));
}

bool TForm1::EditMainSettings() {
  return dialogs_->MainSettings(this);
}

int TForm1::LogLineCount() const {
  const QTextDocument* doc = ui_->Memo1->document();
  return doc->isEmpty() ? 0 : doc->blockCount();
}

QString TForm1::LogText() const {
  return ui_->Memo1->toPlainText();
}

TTask* TForm1::SelectedRowTask() const {
  const QList<QTreeWidgetItem*> rows = ui_->ListView1->selectedItems();
  if (rows.isEmpty()) return nullptr;
  return RowTask(ui_->ListView1->indexOfTopLevelItem(rows.front()));
}

TTask* TForm1::RowTask(int row) const {
  if (row < 0 || row >= manager_->TaskCount()) return nullptr;
  return &manager_->Task(row);
}

}  // namespace qm::ui
