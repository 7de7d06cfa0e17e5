// The main window's commands and tree rules, without any run: preconditions and their messages,
// placement of new nodes, the delete flows, drag and drop, rename, command enabling.
#include <QMenu>
#include <QProgressBar>
#include <QTest>

#include "config/Setting.h"
#include "support/WindowFixture.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void layoutNamesAndStartState();
  void taskCommandsWithoutTask_data();
  void taskCommandsWithoutTask();
  void treeCommandsWithoutSelection_data();
  void treeCommandsWithoutSelection();
  void newNodesGoBelowTheSelectedCategory();
  void deleteTaskAsksAndMovesToRecycleBin();
  void deleteCategoryAnswers_data();
  void deleteCategoryAnswers();
  void rootAndRecycleBinAreNotDeleted();
  void dragAndDropRules();
  void renameToBlanksKeepsTheName();
  void commandEnablingFollowsTheTaskState_data();
  void commandEnablingFollowsTheTaskState();
  void listSelectionShowsTheRowsTaskCommands();
  void treePopupMenuOfARunningTask();
  void clickChoosesThePopupMenu();
  void statisticsLinesAndLogClearing();
  void lowDiskStopsTheRun();
  void newTaskCancelledAddsNothing();
  void presetSchemesSetTheTaskSettings_data();
  void presetSchemesSetTheTaskSettings();
  void browsingOpensTheLocalCopyAndTheAddress();
  void shutdownSavesTreeAndSettings();
};

void MainWindowTest::layoutNamesAndStartState() {
  WindowFixture w;
  QCOMPARE(w.form->windowTitle(), QStringLiteral("Quillmoss(测试版)"));
  QCOMPARE(w.form->size(), QSize(700, 460));
  QCOMPARE(w.ui().ToolButtonNew->text(), QStringLiteral(" 任  务 "));
  QCOMPARE(w.ui().ToolButtonNew->toolTip(), QStringLiteral("新建"));
  QCOMPARE(w.ui().ToolButtonRestart->text(), QStringLiteral("重来"));
  QVERIFY(w.ui().ToolButtonRun->isEnabled());
  QVERIFY(!w.ui().ToolButtonPause->isEnabled());
  QVERIFY(!w.ui().ToolButtonStop->isEnabled());
  QVERIFY(w.ui().ToolButtonRestart->isEnabled());
  QCOMPARE(w.ui().ListView1->columnCount(), 7);
  QCOMPARE(w.ui().ListView1->columnWidth(2), 200);
  QCOMPARE(w.ui().TreeView1->indentation(), 19);
  QVERIFY(w.form->findChild<QProgressBar*>(QStringLiteral("ProgressBar1")));
  QCOMPARE(w.form->PopupMenuTree()->objectName(), QStringLiteral("PopupMenuTree"));
  QCOMPARE(w.form->PopupMenuTree()->actions().size(), 10);  // eight items, two separators
  for (QAction* a : w.form->PopupMenuTask()->actions()) QVERIFY(!a->isEnabled());
  // The tree shows the root and the recycle bin.
  QCOMPARE(w.ui().TreeView1->topLevelItemCount(), 2);
  QVERIFY(w.messages.asked.empty());
}

void MainWindowTest::taskCommandsWithoutTask_data() {
  QTest::addColumn<int>("command");
  QTest::addColumn<QString>("message");
  QTest::newRow("save") << 0 << QStringLiteral("还没有建立任务");
  QTest::newRow("run") << 1 << QStringLiteral("还没有新建或者载入任务");
  QTest::newRow("pause") << 2 << QStringLiteral("还没有载入任务");
  QTest::newRow("repair") << 3 << QStringLiteral("还没有载入任务");
  QTest::newRow("update") << 4 << QStringLiteral("还没有载入任务");
  QTest::newRow("restart") << 5 << QStringLiteral("还没有载入任务");
  QTest::newRow("stop") << 6 << QString();
}

void MainWindowTest::taskCommandsWithoutTask() {
  QFETCH(int, command);
  QFETCH(QString, message);
  WindowFixture w;
  const std::function<void()> commands[] = {
      [&] { w.form->SaveTask(); },   [&] { w.form->RunTask(); },    [&] { w.form->PauseTask(); },
      [&] { w.form->RepairTask(); }, [&] { w.form->UpdateTask(); }, [&] { w.form->RestartTask(); },
      [&] { w.form->StopTask(); }};
  commands[command]();
  if (message.isEmpty()) {
    QVERIFY(w.messages.asked.empty());
  } else {
    QCOMPARE(w.messages.asked.size(), std::size_t(1));
    QCOMPARE(w.messages.asked[0].text, message);
    QCOMPARE(w.messages.asked[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }
  QCOMPARE(w.manager().TaskCount(), 0);
}

void MainWindowTest::treeCommandsWithoutSelection_data() {
  QTest::addColumn<int>("command");
  for (int i = 0; i < 6; ++i) QTest::newRow(QByteArray::number(i).constData()) << i;
}

void MainWindowTest::treeCommandsWithoutSelection() {
  QFETCH(int, command);
  WindowFixture w;
  w.ui().TreeView1->setCurrentItem(nullptr);
  const std::function<void()> commands[] = {[&] { w.form->LoadTask(); },
                                            [&] { w.form->RunFromTree(RunNormal); },
                                            [&] { w.form->RunFromTree(RunRepair); },
                                            [&] { w.form->RunFromTree(RunUpdate); },
                                            [&] { w.form->RestartFromTree(); },
                                            [&] { w.form->TaskSettingsFromTree(); }};
  commands[command]();
  QCOMPARE(w.Asked(), QStringList{QStringLiteral("|请先选择一个任务")});
  // With a category selected, nothing at all happens.
  w.messages.asked.clear();
  w.form->SelectItem(RootItem);
  commands[command]();
  QVERIFY(w.messages.asked.empty());
  QCOMPARE(w.manager().TaskCount(), 0);
}

void MainWindowTest::newNodesGoBelowTheSelectedCategory() {
  WindowFixture w;
  const std::int32_t news = w.AddCategory(RootItem, "news");
  const std::int32_t task = w.AddTaskNode(news, "t1");
  // A task selected: its category; the root or the recycle bin selected: the root.
  struct Case {
    std::int32_t selected, expectedParent;
  };
  for (const Case& c : {Case{task, news}, Case{news, news}, Case{RootItem, RootItem},
                        Case{RecycleBinItem, RootItem}}) {
    w.form->SelectItem(c.selected);
    w.dialogs.CategoryAnswers.push_back(QStringLiteral("sub"));
    const std::size_t before = w.tree().Items.size();
    w.form->NewCategory();
    QCOMPARE(w.tree().Items.size(), before + 1);
    QCOMPARE(w.tree().Items.back().Parent, c.expectedParent);
    QCOMPARE(w.tree().Items.back().Type, ItemCategory);

    w.form->SelectItem(c.selected);
    TDirItem item;
    item.Name = "t";
    item.Type = ItemTask;
    const std::int32_t added = w.form->AddTaskItem(item);
    QCOMPARE(w.tree().Items[static_cast<std::size_t>(added)].Parent, c.expectedParent);
  }
  // Cancel (no name) adds nothing.
  w.dialogs.CategoryAnswers.push_back(QString());
  const std::size_t before = w.tree().Items.size();
  w.form->NewCategory();
  QCOMPARE(w.tree().Items.size(), before);
}

void MainWindowTest::deleteTaskAsksAndMovesToRecycleBin() {
  WindowFixture w;
  const std::int32_t task = w.AddTaskNode(RootItem, "t1");
  w.form->SelectItem(task);
  w.messages.AnswerMessage(QMessageBox::Cancel);
  w.form->DeleteNode();
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(task)].Parent, RootItem);
  QCOMPARE(w.Asked(), QStringList{QStringLiteral("删除|要删除任务，你确定吗？")});
  w.form->SelectItem(task);
  w.messages.AnswerMessage(QMessageBox::Ok);
  w.form->DeleteNode();
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(task)].Parent, RecycleBinItem);
  // Emptying the recycle bin asks first.
  w.messages.AnswerMessage(QMessageBox::Cancel);
  w.form->EmptyRecycleBin();
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(task)].Parent, RecycleBinItem);
  w.messages.AnswerMessage(QMessageBox::Ok);
  w.form->EmptyRecycleBin();
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(RecycleBinItem)].SonFirst, -1);
  QCOMPARE(w.messages.asked.back().text, QStringLiteral("要清空回收站吗？"));
}

void MainWindowTest::deleteCategoryAnswers_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<int>("taskParent");  // -2: the category stays
  QTest::newRow("yes: tasks to the recycle bin") << int(QMessageBox::Yes) << int(RecycleBinItem);
  QTest::newRow("no: tasks to the parent") << int(QMessageBox::No) << int(RootItem);
  QTest::newRow("cancel: nothing") << int(QMessageBox::Cancel) << -2;
}

void MainWindowTest::deleteCategoryAnswers() {
  QFETCH(int, answer);
  QFETCH(int, taskParent);
  WindowFixture w;
  const std::int32_t cat = w.AddCategory(RootItem, "cat");
  const std::int32_t task = w.AddTaskNode(cat, "t1");
  w.form->SelectItem(cat);
  w.messages.AnswerMessage(static_cast<QMessageBox::StandardButton>(answer));
  w.form->DeleteNode();
  QCOMPARE(w.messages.asked.back().caption, QStringLiteral("删除目录"));
  QCOMPARE(w.messages.asked.back().text, QStringLiteral("删除目录时将目录下的任务一起删除"));
  if (taskParent == -2) {
    QCOMPARE(w.tree().Items[static_cast<std::size_t>(task)].Parent, cat);
    QVERIFY(!w.tree().Items[static_cast<std::size_t>(cat)].Deleted);
  } else {
    QCOMPARE(w.tree().Items[static_cast<std::size_t>(task)].Parent, taskParent);
    QVERIFY(w.tree().Items[static_cast<std::size_t>(cat)].Deleted);
  }
}

void MainWindowTest::rootAndRecycleBinAreNotDeleted() {
  WindowFixture w;
  for (std::int32_t item : {RootItem, RecycleBinItem}) {
    w.form->SelectItem(item);
    w.form->DeleteNode();
  }
  QVERIFY(w.messages.asked.empty());
  QCOMPARE(w.ui().TreeView1->topLevelItemCount(), 2);
}

void MainWindowTest::dragAndDropRules() {
  WindowFixture w;
  const std::int32_t a = w.AddCategory(RootItem, "a");
  const std::int32_t b = w.AddCategory(a, "b");
  const std::int32_t task = w.AddTaskNode(RootItem, "t1");
  const std::int32_t other = w.AddCategory(RootItem, "other");
  auto accepts = [&](std::int32_t target, std::int32_t dragged) {
    return w.form->TreeAcceptsDrop(target < 0 ? nullptr : w.NodeOf(target), w.NodeOf(dragged));
  };
  QVERIFY(!accepts(b, a));                   // onto a descendant
  QVERIFY(!accepts(a, a));                   // onto itself
  QVERIFY(!accepts(task, a));                // onto a task
  QVERIFY(!accepts(other, RecycleBinItem));  // the recycle bin is never dragged
  QVERIFY(!accepts(-1, a));                  // nothing under the pointer
  QVERIFY(accepts(other, a));
  QVERIFY(accepts(b, task));
  QVERIFY(accepts(RecycleBinItem, task));

  w.form->TreeDrop(w.NodeOf(other), w.NodeOf(a));
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(a)].Parent, other);
  QVERIFY(w.tree().Items[static_cast<std::size_t>(other)].Expand);
  // A refused drop changes nothing.
  w.form->TreeDrop(w.NodeOf(b), w.NodeOf(other));
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(other)].Parent, RootItem);
  // A task dropped on the recycle bin is deleted, after the question.
  w.messages.AnswerMessage(QMessageBox::Ok);
  w.form->TreeDrop(w.NodeOf(RecycleBinItem), w.NodeOf(task));
  QCOMPARE(w.messages.asked.back().text, QStringLiteral("要删除任务，你确定吗？"));
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(task)].Parent, RecycleBinItem);
}

void MainWindowTest::renameToBlanksKeepsTheName() {
  WindowFixture w;
  const std::int32_t cat = w.AddCategory(RootItem, "news");
  w.NodeOf(cat)->setText(0, QStringLiteral("   "));
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(cat)].Name, std::string("news"));
  QCOMPARE(w.NodeOf(cat)->text(0), QStringLiteral("news"));
  w.NodeOf(cat)->setText(0, QStringLiteral("  sport "));
  QCOMPARE(w.tree().Items[static_cast<std::size_t>(cat)].Name, std::string("sport"));
  QCOMPARE(w.NodeOf(cat)->text(0), QStringLiteral("sport"));
  // Expanding and collapsing is remembered in the item.
  w.AddCategory(cat, "inner");
  w.NodeOf(cat)->setExpanded(true);
  QVERIFY(w.tree().Items[static_cast<std::size_t>(cat)].Expand);
  w.NodeOf(cat)->setExpanded(false);
  QVERIFY(!w.tree().Items[static_cast<std::size_t>(cat)].Expand);
}

void MainWindowTest::commandEnablingFollowsTheTaskState_data() {
  QTest::addColumn<int>("state");
  QTest::addColumn<QString>("enabled");  // R P S r u s: run pause stop repair update restart
  QTest::newRow("running") << int(Running) << QStringLiteral("PS");
  QTest::newRow("paused") << int(Paused) << QStringLiteral("RS");
  QTest::newRow("stopped") << int(Stopped) << QStringLiteral("Rrus");
  QTest::newRow("complete") << int(Complete) << QStringLiteral("Rrus");
}

void MainWindowTest::commandEnablingFollowsTheTaskState() {
  QFETCH(int, state);
  QFETCH(QString, enabled);
  WindowFixture w;
  const std::int32_t item = w.AddTaskNode(RootItem, "t1", "http://127.0.0.1:1/start.html");
  TTask& task = w.manager().NewTaskWithSettings(item, DefaultTaskSettings());
  task.State = state;
  w.manager().ShowTaskCommands(&task);
  QCOMPARE(w.ui().ToolButtonRun->isEnabled(), enabled.contains('R'));
  QCOMPARE(w.ui().ToolButtonPause->isEnabled(), enabled.contains('P'));
  QCOMPARE(w.ui().ToolButtonStop->isEnabled(), enabled.contains('S'));
  QCOMPARE(w.ui().ToolButtonRepair->isEnabled(), enabled.contains('r'));
  QCOMPARE(w.ui().ToolButtonUpdate->isEnabled(), enabled.contains('u'));
  QCOMPARE(w.ui().ToolButtonRestart->isEnabled(), enabled.contains('s'));
  QCOMPARE(w.ui().NTaskRun->isEnabled(), enabled.contains('R'));
  QCOMPARE(w.ui().NTaskPause->isEnabled(), enabled.contains('P'));
  QCOMPARE(w.ui().NTaskStop->isEnabled(), enabled.contains('S'));
  QCOMPARE(w.ui().NTaskRepair->isEnabled(), enabled.contains('r'));
  QCOMPARE(w.ui().NTaskUpdate->isEnabled(), enabled.contains('u'));
  QVERIFY(!w.ui().NTaskSave->isEnabled());
  QCOMPARE(w.ui().EditUrl->currentText(), QStringLiteral("http://127.0.0.1:1/start.html"));
  task.State = Stopped;  // nothing runs: the window may close without a run to stop
}

void MainWindowTest::listSelectionShowsTheRowsTaskCommands() {
  WindowFixture w;
  TTask& stopped = w.manager().NewTaskWithSettings(
      w.AddTaskNode(RootItem, "t1", "http://127.0.0.1:1/a.html"), DefaultTaskSettings());
  TTask& running = w.manager().NewTaskWithSettings(
      w.AddTaskNode(RootItem, "t2", "http://127.0.0.1:1/b.html"), DefaultTaskSettings());
  stopped.State = Stopped;
  running.State = Running;
  w.manager().RefreshList();
  QCOMPARE(w.ui().ListView1->topLevelItemCount(), 2);

  w.ui().ListView1->setCurrentItem(w.ui().ListView1->topLevelItem(0));
  QVERIFY(w.ui().ToolButtonRun->isEnabled());
  QVERIFY(!w.ui().ToolButtonPause->isEnabled());
  QCOMPARE(w.ui().EditUrl->currentText(), QStringLiteral("http://127.0.0.1:1/a.html"));

  w.ui().ListView1->setCurrentItem(w.ui().ListView1->topLevelItem(1));
  QVERIFY(w.ui().ToolButtonPause->isEnabled());
  QVERIFY(!w.ui().ToolButtonRun->isEnabled());

  // Deselecting reports the row that lost the selection (here the running task's).
  w.manager().ShowTaskCommands(&stopped);
  QVERIFY(w.ui().ToolButtonRun->isEnabled());
  w.ui().ListView1->clearSelection();
  QVERIFY(w.ui().ToolButtonPause->isEnabled());
  QVERIFY(!w.ui().ToolButtonRun->isEnabled());

  // Refilling the list drops its selection without changing the enabled commands.
  w.ui().ListView1->setCurrentItem(w.ui().ListView1->topLevelItem(0));
  w.manager().ShowTaskCommands(&running);
  w.manager().RefreshList();
  QVERIFY(w.ui().ToolButtonPause->isEnabled());
  QVERIFY(!w.ui().ToolButtonRun->isEnabled());
  running.State = Stopped;  // nothing runs: the window may close without a run to stop
}

void MainWindowTest::treePopupMenuOfARunningTask() {
  WindowFixture w;
  const std::int32_t item = w.AddTaskNode(RootItem, "t1");
  TTask& task = w.manager().NewTaskWithSettings(item, DefaultTaskSettings());
  w.form->SelectItem(item);
  for (std::int32_t state : {Running, Paused, Stopped, Complete}) {
    task.State = state;
    w.form->PopupMenuTreePopup();
    const bool alive = state == Running || state == Paused;
    QCOMPARE(w.ui().NProjLoad->isEnabled(), !alive);
    QCOMPARE(w.ui().NProjReStart->isEnabled(), !alive);
    QVERIFY(w.ui().N34->isEnabled());
  }
}

void MainWindowTest::clickChoosesThePopupMenu() {
  WindowFixture w;
  const std::int32_t item = w.AddTaskNode(RootItem, "t1", "http://127.0.0.1:1/a.html");
  w.form->SelectItem(item);
  w.form->TreeClicked();
  QCOMPARE(w.form->TreePopupMenu(), w.form->PopupMenuTree());
  QCOMPARE(w.ui().EditUrl->currentText(), QStringLiteral("http://127.0.0.1:1/a.html"));
  w.form->SelectItem(RecycleBinItem);
  w.form->TreeClicked();
  QCOMPARE(w.form->TreePopupMenu(), w.form->PopupMenuRecycled());
  w.form->SelectItem(RootItem);
  w.form->TreeClicked();
  QCOMPARE(w.form->TreePopupMenu(), static_cast<QMenu*>(nullptr));
}

void MainWindowTest::statisticsLinesAndLogClearing() {
  WindowFixture w;
  const std::int32_t item = w.AddTaskNode(RootItem, "t1", "http://127.0.0.1:1/x.html");
  TaskSettings settings = DefaultTaskSettings();
  settings.Depth = 3;
  w.manager().NewTaskWithSettings(item, settings);  // on Hold: the scheduler only makes it current
  w.manager().StartNext();
  QVERIFY(w.manager().CurrentTask());
  w.ui().Memo1->clear();
  w.form->ShowStatistics();
  QCOMPARE(w.form->LogText().split('\n'),
           (QStringList{QStringLiteral("下载网站的首页为：http://127.0.0.1:1/x.html"),
                        QStringLiteral("层数为：3"),
                        QStringLiteral("共需下载1个文件,其中已成功下载0个,共下载0字节。"),
                        QStringLiteral("其中0个未解析,已经解析的有0个,还有1个未下载。"),
                        QStringLiteral("下载错误文件0个,解析错误文件0个。")}));
  {
    TTask* current = w.manager().CurrentTask();
    TaskSettings settings = current->Settings();
    settings.Depth = -1;
    current->SetSettings(settings);
  }
  w.form->ShowStatistics();
  QVERIFY(w.form->LogText().contains(QStringLiteral("下载层数为：所有层")));
  QCOMPARE(w.ui().ListView1->topLevelItem(0)->text(0), QStringLiteral("t1"));

  // Over 1000 lines: cleared by the save timer only while a task runs (Stop enabled).
  for (int i = 0; i < 1500; ++i) Window().AddLog("line " + std::to_string(i));
  QCOMPARE(w.form->LogLineCount(), 1510);
  w.ui().ToolButtonStop->setEnabled(false);
  w.form->TimerSaveTimer();
  QCOMPARE(w.form->LogLineCount(), 1510);
  w.ui().ToolButtonStop->setEnabled(true);
  w.form->TimerSaveTimer();
  QCOMPARE(w.form->LogLineCount(), 0);
  // The save timer wrote the task file.
  QVERIFY(QFile::exists(QString::fromStdString(w.Path("t1.web"))));
  // The speed pane.
  w.form->TimerStatisticTimer();
  QCOMPARE(w.ui().RichEditStatistic->text(), QStringLiteral("下载速度=0B/s"));
}

void MainWindowTest::lowDiskStopsTheRun() {
  WindowFixture w;
  const std::int32_t item = w.AddTaskNode(RootItem, "t1");
  w.manager().NewTaskWithSettings(item, DefaultTaskSettings());
  w.manager().StartNext();
  TTask* task = w.manager().CurrentTask();
  task->State = Running;  // as a run would leave it, without threads
  w.ui().ToolButtonStop->setEnabled(true);
  w.form->FreeBytes = [](const std::string&) -> std::int64_t { return 50 << 20; };
  w.form->TimerSaveTimer();
  QCOMPARE(w.Asked(), QStringList{QStringLiteral("|硬盘空间不足<100MB")});
  QCOMPARE(task->State.load(), Stopped);
  // Enough room: nothing said.
  task->State = Running;
  w.form->FreeBytes = [](const std::string&) -> std::int64_t { return 200 << 20; };
  w.form->TimerSaveTimer();
  QCOMPARE(w.messages.asked.size(), std::size_t(1));
  task->State = Stopped;
}

void MainWindowTest::newTaskCancelledAddsNothing() {
  WindowFixture w;
  w.ui().EditUrl->setEditText(QStringLiteral("http://www.example.com/index.html"));
  TNewTaskFields shown;
  w.dialogs.NewTaskAnswers.push_back([&](TNewTaskFields& f) {
    shown = f;
    return false;
  });
  w.form->NewTask();
  QCOMPARE(shown.Url, QStringLiteral("http://www.example.com/index.html"));
  QCOMPARE(shown.Name, QStringLiteral("www.example.com"));
  QVERIFY(shown.File.endsWith(QStringLiteral("\\Websites\\www.example.com.web")));
  // The settings dialog cancelled: still no item and no task.
  w.dialogs.NewTaskAnswers.push_back(AcceptNewTask(false));
  w.dialogs.MainSettingsAnswers.push_back(false);
  const std::size_t before = w.tree().Items.size();
  w.form->NewTask();
  QCOMPARE(w.tree().Items.size(), before);
  QCOMPARE(w.manager().TaskCount(), 0);
}

void MainWindowTest::presetSchemesSetTheTaskSettings_data() {
  QTest::addColumn<int>("scheme");
  QTest::addColumn<int>("depth");
  QTest::addColumn<int>("scope");
  QTest::addColumn<int>("content");
  QTest::newRow("single page") << int(TScheme::SinglePage) << 0 << 1 << 1;
  QTest::newRow("this directory") << int(TScheme::ThisDirectory) << -1 << 2 << -1;
  QTest::newRow("one level") << int(TScheme::OneLevel) << 1 << 0 << -1;
  QTest::newRow("whole site") << int(TScheme::WholeSite) << -1 << 0 << -1;
}

void MainWindowTest::presetSchemesSetTheTaskSettings() {
  QFETCH(int, scheme);
  QFETCH(int, depth);
  QFETCH(int, scope);
  QFETCH(int, content);
  WindowFixture w;
  DefaultContent = -1;
  DefaultForeignImages = true;
  w.ui().EditUrl->setEditText(QStringLiteral("http://127.0.0.1:1/d/index.html"));
  w.dialogs.NewTaskAnswers.push_back([](TNewTaskFields& f) {
    f.Name = QStringLiteral("preset");
    StartAtOnce = false;
    return true;
  });
  w.form->NewTaskWithScheme(static_cast<TScheme>(scheme));
  ResetSettings();
  QCOMPARE(w.manager().TaskCount(), 1);
  TTask& task = w.manager().Task(0);
  const TaskSettings settings = task.Settings();
  QCOMPARE(settings.Depth, depth);
  QCOMPARE(settings.Scope, scope);
  QCOMPARE(settings.Content, content);
  QVERIFY(settings.ForeignImages);
  const TDirItem& item = w.tree().Items[static_cast<std::size_t>(w.manager().TaskItem(0))];
  QCOMPARE(item.Name, std::string("preset"));
  QCOMPARE(item.FileName, std::string("127.0.0.1.web"));
  QCOMPARE(item.StartURL, std::string("http://127.0.0.1:1/d/index.html"));
}

void MainWindowTest::browsingOpensTheLocalCopyAndTheAddress() {
  WindowFixture w;
  const std::int32_t item = w.AddTaskNode(RootItem, "t1", "http://127.0.0.1:1/news/a.html");
  w.form->SelectItem(item);
  w.form->OfflineBrowse();
  w.form->OnlineBrowse();
  QCOMPARE(w.opened.size(), std::size_t(2));
  QCOMPARE(w.opened[0].toLocalFile(), w.dir->path() + QStringLiteral("/127.0.0.1/news/a.html"));
  QCOMPARE(w.opened[1].toString(), QStringLiteral("http://127.0.0.1:1/news/a.html"));
  // Not on a category or the root.
  w.form->SelectItem(RootItem);
  w.form->OfflineBrowse();
  QCOMPARE(w.opened.size(), std::size_t(2));
}

void MainWindowTest::shutdownSavesTreeAndSettings() {
  WindowFixture w;
  w.AddCategory(RootItem, "kept");
  const std::int32_t gone = w.AddCategory(RootItem, "gone");
  w.form->SelectItem(gone);
  w.messages.AnswerMessage(QMessageBox::No);
  w.form->DeleteNode();
  ThreadCount = 4;
  w.form->close();
  ResetSettings();
  QVERIFY(QFile::exists(QString::fromStdString(w.Path("quillmoss.ini"))));
  TDir reread(w.Path("Dir.ini"));
  reread.LoadDir();
  QCOMPARE(reread.Items.size(), std::size_t(3));  // compacted: root, recycle bin, "kept"
  QCOMPARE(reread.Items[2].Name, std::string("kept"));
  LoadSettings();
  QCOMPARE(ThreadCount.load(), 4);
  ResetSettings();
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
