// The window's dialog commands: each opens its dialog through the dialog service and reports the
// answer; the delete-directory window is not modal and stops a delete when the window closes.
#include <QCheckBox>
#include <QStatusBar>

#include "DialogTestSupport.h"
#include "config/Setting.h"
#include "manager/TaskManager.h"
#include "support/ScriptedDialogs.h"
#include "ui/dialogs/DelDirForm.h"
#include "ui/dialogs/DialogCommands.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

class DialogCommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void settingsCommandsReportTheAnswer() {
    ResetSettings();
    QTemporaryDir temp;
    TDir dir(temp.filePath("Dir.ini").toStdString());
    TTaskManager manager(dir);
    QWidget window;
    TDialogCommands commands(manager, dir, &window);
    ScriptedDialogs dialogs;
    dialogs.AnswerDialog([](QDialog& d) {
      Control<QCheckBox>(d, "CheckBoxUpdatePagesOnly")->setChecked(false);
      return Click(d, QStringLiteral("OK"));
    });
    dialogs.AnswerDialog([](QDialog& d) { return Click(d, QStringLiteral("Cancel")); });
    dialogs.AnswerDialog([](QDialog& d) { return Click(d, QStringLiteral("OK")); });
    dialogs.AnswerDialog([](QDialog& d) { return Click(d, QStringLiteral("确认")); });
    QVERIFY(commands.UpdateSettings());
    QVERIFY(!commands.UpdateSettings());
    QVERIFY(commands.OtherSettings());
    commands.About();
    QCOMPARE(dialogs.shownDialogs,
             QStringList({"TUpdateSetDlg", "TUpdateSetDlg", "TPagesSetDlg", "TAboutDialog"}));
    QCOMPARE(UpdatePagesOnly.load(), false);
    ResetSettings();
  }

  void deleteDirectoryWindowIsNotModalAndStopsWithTheWindow() {
    QTemporaryDir temp;
    for (int i = 0; i < 5; ++i) {
      QDir().mkpath(temp.filePath("site"));
      QFile f(temp.filePath(QStringLiteral("site/f%1").arg(i)));
      f.open(QIODevice::WriteOnly);
    }
    TDir dir(temp.filePath("Dir.ini").toStdString());
    TTaskManager manager(dir);
    QWidget window;
    window.show();
    TDialogCommands commands(manager, dir, &window);
    commands.DeleteDirectory();  // no current task: rooted at the program's directory
    TDelDirForm& form = commands.DelDirForm();
    QVERIFY(form.isVisible());
    QCOMPARE(form.RootFolder(), QCoreApplication::applicationDirPath());
    // Closing the main window during a delete stops it at the next entry.
    int deleted = 0;
    connect(Control<QStatusBar>(form, "StatusBar1"), &QStatusBar::messageChanged, [&] {
      if (++deleted == 1) window.close();
    });
    form.DeleteTree(temp.filePath("site"));
    QCOMPARE(deleted, 1);
    QCOMPARE(QDir(temp.filePath("site")).entryList(QDir::Files).size(), 4);
  }
};

QTEST_MAIN(DialogCommandsTest)
#include "DialogCommandsTest.moc"
