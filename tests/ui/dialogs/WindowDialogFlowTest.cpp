// The dialogs through the main window's commands: import a task file, edit its settings from the
// tree, update only after the update settings dialog's OK, and the tool and help menu items.
#include <QCheckBox>
#include <QRadioButton>

#include "DialogTestSupport.h"
#include "support/TestSite.h"
#include "support/WindowFixture.h"
#include "task/TaskFile.h"
#include "ui/dialogs/DelDirForm.h"
#include "ui/dialogs/DialogCommands.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

namespace {

// A task file for `url` at `path` with default settings and its start page as record 0.
void WriteTask(const QString& path, const std::string& url) {
  TTask task;
  TExtendUrlRec first{};
  first.Url.Set(url);
  task.AddUrl(first);
  if (!WriteTaskFile(task, path.toStdString())) qFatal("no task file");
}

ScriptedDialogs::DialogAnswer Press(const char* button) {
  return [button](QDialog& d) { return Click(d, QString::fromUtf8(button)); };
}

}  // namespace

class WindowDialogFlowTest : public QObject {
  Q_OBJECT
 private slots:
  void importSettingsAndUpdate() {
    qm::test::TestSite site;
    site.Put("/", qm::test::PageOf("<html><title>t</title>ok</html>"));
    WindowFixture w(true);
    const QString file = w.dir->filePath("backup/site.web");
    QDir().mkpath(w.dir->filePath("backup"));
    WriteTask(file, site.Url("/"));

    // 导入任务文件: the node takes the typed name; the task joins the list on hold.
    w.messages.AnswerFile(file);
    w.messages.AnswerDialog([](QDialog& d) {
      Control<QLineEdit>(d, "EditProjName")->setText(QStringLiteral("备份"));
      return Click(d, QStringLiteral("OK"));
    });
    w.ui().NImport->trigger();
    QCOMPARE(w.manager().TaskCount(), 1);
    const std::int32_t item = w.manager().TaskItem(0);
    QCOMPARE(w.NodeOf(item)->text(0), QStringLiteral("备份"));
    TTask& task = w.manager().Task(0);
    QCOMPARE(w.manager().CurrentTask(), &task);
    QVERIFY(task.State != Running);

    // 局部设置 on its node: a new name and depth; the node is renamed.
    w.ui().TreeView1->setCurrentItem(w.NodeOf(item));
    w.messages.AnswerDialog([](QDialog& d) {
      Control<QLineEdit>(d, "EditLevel")->setText(QStringLiteral("0"));
      Control<QLineEdit>(d, "EditProjName")->setText(QStringLiteral("站点"));
      return Click(d, QStringLiteral("OK"));
    });
    w.ui().N39->trigger();
    QCOMPARE(w.NodeOf(item)->text(0), QStringLiteral("站点"));
    TaskSettings settings;
    QVERIFY(w.manager().ReadTaskSettings(item, settings));
    QCOMPARE(settings.Depth, 0);

    // The toolbar's Update goes on only after the update settings dialog's OK.
    w.messages.AnswerDialog(Press("Cancel"));
    w.form->UpdateTask();
    QVERIFY(site.Requests().empty());
    QVERIFY(task.State != Running);
    w.messages.AnswerDialog(Press("OK"));
    w.form->UpdateTask();
    QTRY_VERIFY_WITH_TIMEOUT(task.State == Complete, 20000);
    QVERIFY(!site.Requests().empty());
    QCOMPARE(w.messages.shownDialogs,
             QStringList({"TImportDlg", "TTaskSettingDlg", "TUpdateSetDlg", "TUpdateSetDlg"}));
  }

  void toolAndHelpMenuItems() {
    WindowFixture w(true);
    w.messages.AnswerDialog(Press("OK"));
    w.messages.AnswerDialog(Press("Cancel"));
    w.messages.AnswerDialog(Press("确认"));
    w.ui().N31->trigger();
    w.ui().N20->trigger();
    w.ui().N1->trigger();
    QCOMPARE(w.messages.shownDialogs,
             QStringList({"TUpdateSetDlg", "TPagesSetDlg", "TAboutDialog"}));
    // 删除目录 opens its window beside the main window, not modally.
    w.ui().N19->trigger();
    TDelDirForm& form = w.form->DialogCommands().DelDirForm();
    QVERIFY(form.isVisible());
    QVERIFY(!form.isModal());
    QCOMPARE(form.RootFolder(), QCoreApplication::applicationDirPath());
    QCOMPARE(w.messages.shownDialogs.size(), 3);
  }
};

QTEST_MAIN(WindowDialogFlowTest)
#include "WindowDialogFlowTest.moc"
