// The per-task settings dialog: settings of a task that is not loaded go into its task file and
// come back from it, a loaded task's go into memory, and only a changed name refills the tree.
#include <QCheckBox>
#include <QRadioButton>

#include "DialogTestSupport.h"
#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "support/ScriptedDialogs.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TaskSettingDlg.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

namespace {

// Counts how often the tree view was refilled.
class CountingView : public TDirView {
 public:
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void Clear() override { ++refills; }
  TDirNode AddNode(TDirNode, const std::string&, int, int) override {
    return &nodes.emplace_back();
  }
  void Expand(TDirNode) override {}
  int refills = 0;
  std::deque<int> nodes;
};

struct Fixture {
  QTemporaryDir temp;
  TDir dir{temp.filePath("Dir.ini").toStdString()};
  CountingView view;
  TTaskManager manager{dir};
  int item = -1;

  // A task file "site.web" with depth 2, scope directory, pages only, foreign images, and its
  // tree item (not loaded by the manager).
  Fixture() {
    dir.View = &view;
    TTask task;
    task.SetSettings(TaskSettings{2, 2, 0, true});
    TExtendUrlRec first{};
    first.Url.Set("http://127.0.0.1:1/");
    task.AddUrl(first);
    if (!WriteTaskFile(task, temp.filePath("site.web").toStdString())) qFatal("no task file");
    TDirItem record;
    record.Name = "site";
    record.Type = ItemTask;
    record.Path = ToProgramPath(temp.path() + "/").toStdString();
    record.FileName = "site.web";
    record.StartURL = "http://127.0.0.1:1/";
    item = dir.AddItem(RootItem, record);
  }
  TaskSettings FileSettings() {
    return ReadTaskFileSettings(temp.filePath("site.web").toStdString());
  }
};

struct Shown {
  QString level, url, file, name;
  QStringList checked;
};

Shown ReadFields(QDialog& d) {
  Shown s{Control<QLineEdit>(d, "EditLevel")->text(),
          Control<QLineEdit>(d, "EditUrl")->text(),
          Control<QLineEdit>(d, "EditFilename")->text(),
          Control<QLineEdit>(d, "EditProjName")->text(),
          {}};
  for (QRadioButton* r : d.findChildren<QRadioButton*>())
    if (r->isChecked()) s.checked << r->objectName();
  s.checked.sort();
  return s;
}

}  // namespace

class TaskSettingDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void settingsOfAnUnloadedTaskGoToItsFileAndComeBack() {
    Fixture f;
    ScriptedDialogs dialogs;
    TTaskSettingDlg dlg(f.manager, f.dir);
    dlg.SetItemIndex(f.item);
    Shown first;
    dialogs.AnswerDialog([&](QDialog& d) {
      first = ReadFields(d);
      Control<QLineEdit>(d, "EditLevel")->setText(QStringLiteral("-1"));
      Control<QRadioButton>(d, "RadioContentAll")->setChecked(true);
      Control<QRadioButton>(d, "RadioScopeHost")->setChecked(true);
      Control<QRadioButton>(d, "RadioImagesOwn")->setChecked(true);
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(first.level, QStringLiteral("2"));
    QCOMPARE(first.checked,
             QStringList({"RadioContentPages", "RadioImagesForeign", "RadioScopeDir"}));
    QCOMPARE(first.url, QStringLiteral("http://127.0.0.1:1/"));
    QCOMPARE(first.file, ToProgramPath(f.temp.filePath("site.web")));
    QCOMPARE(first.name, QStringLiteral("site"));
    QCOMPARE(f.FileSettings(), (TaskSettings{-1, 1, -1, false}));
    QCOMPARE(f.manager.TaskCount(), 0);  // still not loaded
    QCOMPARE(f.view.refills, 0);         // the name did not change

    Shown again;
    dialogs.AnswerDialog([&](QDialog& d) {
      again = ReadFields(d);
      return Click(d, QStringLiteral("Cancel"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Rejected));
    QCOMPARE(again.level, QStringLiteral("-1"));
    QCOMPARE(again.checked, QStringList({"RadioContentAll", "RadioImagesOwn", "RadioScopeHost"}));
  }

  void aNewNameRenamesTheItemAndRefillsTheTree() {
    Fixture f;
    ScriptedDialogs dialogs;
    TTaskSettingDlg dlg(f.manager, f.dir);
    dlg.SetItemIndex(f.item);
    QString fileAfterRename;
    dialogs.AnswerDialog([&](QDialog& d) {
      Control<QLineEdit>(d, "EditProjName")->setText(QStringLiteral("新闻 "));
      fileAfterRename = Control<QLineEdit>(d, "EditFilename")->text();
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(QString::fromStdString(f.dir.Items[f.item].Name), QStringLiteral("新闻 "));
    QCOMPARE(f.view.refills, 1);
    // The name rule changed the (disabled) file field, which is not read back.
    QCOMPARE(fileAfterRename, ToProgramPath(f.temp.filePath("新闻 .web")));
    QCOMPARE(f.dir.Items[f.item].FileName, std::string("site.web"));
  }

  void aDepthThatIsNoIntegerWritesNothing() {
    Fixture f;
    ScriptedDialogs dialogs;
    TTaskSettingDlg dlg(f.manager, f.dir);
    dlg.SetItemIndex(f.item);
    dialogs.AnswerDialog([&](QDialog& d) {
      Control<QLineEdit>(d, "EditLevel")->setText(QStringLiteral("two"));
      Control<QLineEdit>(d, "EditProjName")->setText(QStringLiteral("other"));
      Control<QRadioButton>(d, "RadioScopeSite")->setChecked(true);
      return Click(d, QStringLiteral("OK"));
    });
    QVERIFY(dlg.Execute() != QDialog::Accepted);
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
    QVERIFY(dialogs.asked[0].text.contains("two"));
    QCOMPARE(f.FileSettings(), (TaskSettings{2, 2, 0, true}));
    QCOMPARE(f.dir.Items[f.item].Name, std::string("site"));
    QCOMPARE(f.view.refills, 0);
  }

  void aLoadedTaskGetsTheSettingsInMemory() {
    Fixture f;
    TTask* task = f.manager.OpenTask(f.item, RunHold);
    QVERIFY(task);
    const TTaskFileResult read = ReadTaskFile(*task, f.temp.filePath("site.web").toStdString());
    QVERIFY2(read.Ok, read.Message.c_str());
    ScriptedDialogs dialogs;
    TTaskSettingDlg dlg(f.manager, f.dir);
    dlg.SetItemIndex(f.item);
    dialogs.AnswerDialog([&](QDialog& d) {
      Control<QLineEdit>(d, "EditLevel")->setText(QStringLiteral("5"));
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(task->Settings().Depth, 5);
    QCOMPARE(task->Settings().Scope, 2);  // groups shown with their values keep them
    QCOMPARE(f.FileSettings().Depth, 2);
  }

  void aMissingOrDamagedTaskFileIsReported() {
    Fixture f;
    ScriptedDialogs dialogs;
    TTaskSettingDlg dlg(f.manager, f.dir);
    dlg.SetItemIndex(f.item);
    // A file shorter than a header cannot be read: reported, the dialog is not shown.
    QFile::resize(f.temp.filePath("site.web"), 10);
    QCOMPARE(dlg.Execute(), int(QDialog::Rejected));
    QVERIFY(dialogs.shownDialogs.isEmpty());
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
    // Gone between showing and OK: reported, the dialog stays open.
    QFile::remove(f.temp.filePath("site.web"));
    dialogs.asked.clear();
    dlg.setResult(-1);
    dlg.accept();
    QCOMPARE(dlg.result(), -1);
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
  }

  void layout() {
    Fixture f;
    TTaskSettingDlg dlg(f.manager, f.dir);
    QCOMPARE(dlg.objectName(), QStringLiteral("TTaskSettingDlg"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("局部设置"));
    QCOMPARE(dlg.size(), QSize(521, 370));
    QVERIFY(!Control<QLineEdit>(dlg, "EditFilename")->isEnabled());
    QVERIFY(!Control<QLineEdit>(dlg, "EditUrl")->isEnabled());
  }
};

QTEST_MAIN(TaskSettingDlgTest)
#include "TaskSettingDlgTest.moc"
