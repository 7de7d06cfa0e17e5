// The import flow: the chooser for "*.web", the proposed name, the tick box setting StartAtOnce,
// and the item added and opened on hold.
#include <QCheckBox>

#include "DialogTestSupport.h"
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "support/ScriptedDialogs.h"
#include "task/Task.h"
#include "ui/dialogs/ImportDlg.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

class ImportDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void importProposesTheFileNameAndTakesTheTypedOne_data() {
    QTest::addColumn<QString>("typed");  // empty: keep the proposal
    QTest::addColumn<bool>("load");
    QTest::newRow("proposal kept") << QString() << false;
    QTest::newRow("changed name, load ticked") << QStringLiteral("我的网站") << true;
  }
  void importProposesTheFileNameAndTakesTheTypedOne() {
    QFETCH(QString, typed);
    QFETCH(bool, load);
    QTemporaryDir temp;
    QDir().mkpath(temp.filePath("old backups"));
    const QString file = temp.filePath("old backups/site.web");
    QFile(file).open(QIODevice::WriteOnly);
    TDir dir(temp.filePath("Dir.ini").toStdString());
    TTaskManager manager(dir);
    ScriptedDialogs dialogs;
    TImportDlg dlg;
    dialogs.AnswerFile(file);
    QString proposed;
    dialogs.AnswerDialog([&](QDialog& d) {
      proposed = Control<QLineEdit>(d, "EditProjName")->text();
      if (!typed.isEmpty()) Control<QLineEdit>(d, "EditProjName")->setText(typed);
      Control<QCheckBox>(d, "CheckBoxLoad")->setChecked(load);
      return Click(d, QStringLiteral("OK"));
    });
    StartAtOnce = !load;
    TDirItem added;
    const int index = ImportTaskFile(nullptr, dlg, manager, [&](const TDirItem& item) {
      added = item;
      return dir.AddItem(RootItem, item);
    });
    QCOMPARE(proposed, QStringLiteral("site"));
    QVERIFY(index >= 2);
    QCOMPARE(QString::fromStdString(dir.Items[index].Name),
             typed.isEmpty() ? QStringLiteral("site") : typed);
    QCOMPARE(added.Type, ItemTask);
    QCOMPARE(QString::fromStdString(added.Path),
             QString(temp.filePath("old backups") + "/").replace('/', '\\'));
    QCOMPARE(added.FileName, std::string("site.web"));
    QVERIFY(added.StartURL.empty());
    QCOMPARE(StartAtOnce.load(), load);
    // Joined the task list on hold, not started.
    QCOMPARE(manager.TaskCount(), 1);
    QCOMPARE(manager.TaskItem(0), index);
    QCOMPARE(manager.Task(0).RunMode, int(RunHold));
    QVERIFY(QFileInfo::exists(file));  // neither copied nor moved
  }

  void cancelAnywhereImportsNothing() {
    QTemporaryDir temp;
    TDir dir(temp.filePath("Dir.ini").toStdString());
    TTaskManager manager(dir);
    ScriptedDialogs dialogs;
    TImportDlg dlg;
    bool added = false;
    auto add = [&](const TDirItem&) {
      added = true;
      return 2;
    };
    // No file chosen: no dialog either.
    QCOMPARE(ImportTaskFile(nullptr, dlg, manager, add), -1);
    QVERIFY(dialogs.shownDialogs.isEmpty());
    dialogs.AnswerFile(temp.filePath("a.web"));
    dialogs.AnswerDialog([](QDialog& d) { return Click(d, QStringLiteral("Cancel")); });
    QCOMPARE(ImportTaskFile(nullptr, dlg, manager, add), -1);
    QCOMPARE(dialogs.shownDialogs, QStringList({"TImportDlg"}));
    QVERIFY(!added);
    QCOMPARE(manager.TaskCount(), 0);
  }

  void layout() {
    TImportDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("导入任务文件"));
    QCOMPARE(dlg.size(), QSize(395, 266));
    QCOMPARE(Control<QCheckBox>(dlg, "CheckBoxLoad")->text(),
             QStringLiteral("导入任务的同时载入内存"));
  }
};

QTEST_MAIN(ImportDlgTest)
#include "ImportDlgTest.moc"
