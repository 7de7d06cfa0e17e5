// The directory confirmation dialog and "手动添加": the list filled from a copy of the task's
// directories, the ticks copied back on OK only, and additions through the task.
#include <QListWidget>
#include <QPlainTextEdit>

#include "DialogTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "task/Task.h"
#include "ui/dialogs/ConfirmFilterDlg.h"
#include "ui/dialogs/DirInputDlg.h"
#include "ui/dialogs/NewDirDlg.h"
#include "url/Scope.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

namespace {

void AddDir(TTask& task, const char* dir, bool selected) {
  ExtraDirRec rec{};
  rec.Dir.Set(dir);
  rec.Selected = selected ? 1 : 0;
  task.ExtraDirs.push_back(rec);
}

// A task whose start page is http://h/news/a.html with two directories found on it.
void MakeTask(TTask& task) {
  TExtendUrlRec first{};
  first.Url.Set("http://h/news/a.html");
  task.AddUrl(first);
  AddDir(task, "sport\\", false);
  AddDir(task, "img\\", true);
}

QStringList Captions(QListWidget& list) {
  QStringList out;
  for (int i = 0; i < list.count(); ++i)
    out << list.item(i)->text() + (list.item(i)->checkState() == Qt::Checked ? "+" : "-");
  return out;
}

// Answers the directory input dialog with `text` and OK (or Cancel).
ScriptedDialogs::DialogAnswer TypeDir(QString text, bool ok = true) {
  return [text, ok](QDialog& d) {
    Control<QLineEdit>(d, "EditDir")->setText(text);
    return ok ? int(QDialog::Accepted) : int(QDialog::Rejected);
  };
}

}  // namespace

class ConfirmFilterDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void ticksGoBackOnOkOnly() {
    TTask task;
    MakeTask(task);
    TDirInputDlg input;
    TConfirmFilterDlg dlg(input);
    auto* list = Control<QListWidget>(dlg, "CheckListBox1");
    for (bool ok : {false, true}) {
      dlg.SetTask(&task);
      QCOMPARE(Captions(*list), QStringList({"sport\\-", "img\\+"}));
      list->item(0)->setCheckState(Qt::Checked);
      list->item(1)->setCheckState(Qt::Unchecked);
      QCOMPARE(Click(dlg, ok ? QStringLiteral("OK") : QStringLiteral("Cancel")),
               ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
      QCOMPARE(int(task.ExtraDirs[0].Selected), ok ? 1 : 0);
      QCOMPARE(int(task.ExtraDirs[1].Selected), ok ? 0 : 1);
    }
  }

  void addedDirectoryIsTickedAndAddedOnce() {
    TTask task;
    MakeTask(task);
    ScriptedDialogs dialogs;
    TDirInputDlg input;
    TConfirmFilterDlg dlg(input);
    dlg.SetTask(&task);
    dialogs.AnswerDialog(TypeDir(QStringLiteral("bbs\\")));
    dialogs.AnswerDialog(TypeDir(QStringLiteral("bbs\\")));        // twice: added once
    dialogs.AnswerDialog(TypeDir(QString()));                      // empty: nothing
    dialogs.AnswerDialog(TypeDir(QStringLiteral("x\\"), false));   // Cancel: nothing
    dialogs.AnswerDialog(TypeDir(QStringLiteral("news\\old\\")));  // inside the start directory
    for (int i = 0; i < 5; ++i) Click(dlg, QStringLiteral("手动添加"));
    QCOMPARE(dialogs.shownDialogs.size(), 5);
    QCOMPARE(dialogs.shownDialogs[0], QStringLiteral("TDirInputDlg"));
    QCOMPARE(Captions(*Control<QListWidget>(dlg, "CheckListBox1")),
             QStringList({"sport\\-", "img\\+", "bbs\\+"}));
    QCOMPARE(task.ExtraDirs.size(), std::size_t{3});
    QCOMPARE(std::string(task.ExtraDirs[2].Dir.View()), std::string("bbs\\"));
    QCOMPARE(int(task.ExtraDirs[2].Selected), 1);
    // Untick it and confirm: the tick goes back to the element at its position.
    Control<QListWidget>(dlg, "CheckListBox1")->item(2)->setCheckState(Qt::Unchecked);
    Click(dlg, QStringLiteral("OK"));
    QCOMPARE(int(task.ExtraDirs[2].Selected), 0);
  }

  void withoutATaskNothingIsAsked() {
    ScriptedDialogs dialogs;  // any dialog shown would be unscripted and throw
    TDirInputDlg input;
    TConfirmFilterDlg dlg(input);
    dlg.SetTask(nullptr);
    Click(dlg, QStringLiteral("手动添加"));
    QVERIFY(dialogs.shownDialogs.isEmpty());
    QCOMPARE(Click(dlg, QStringLiteral("OK")), int(QDialog::Accepted));
  }

  void captionsAndNames() {
    TDirInputDlg input;
    TConfirmFilterDlg dlg(input);
    TNewDirDlg newDir;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ConfirmFilterDlg"));
    QCOMPARE(dlg.size(), QSize(544, 375));
    QCOMPARE(input.windowTitle(), QStringLiteral("DirInputDlg"));
    QCOMPARE(newDir.windowTitle(), QStringLiteral("新建类别"));
    QVERIFY(Control<QPlainTextEdit>(dlg, "Memo1")->toPlainText().startsWith("说明："));
    // The new-category field keeps the last text typed.
    Control<QLineEdit>(newDir, "Edit1")->setText(QStringLiteral("新闻"));
    QCOMPARE(Click(newDir, QStringLiteral("确认")), int(QDialog::Accepted));
    QCOMPARE(newDir.Name(), QStringLiteral("新闻"));
    QCOMPARE(Click(newDir, QStringLiteral("取消")), int(QDialog::Rejected));
  }
};

QTEST_MAIN(ConfirmFilterDlgTest)
#include "ConfirmFilterDlgTest.moc"
