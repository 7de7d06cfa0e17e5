// The delete-directory window on temporary trees: read-only entries, a stop request inside a
// nested folder, a symbolic link pointing outside, a missing path, and the folders it refuses.
#include <sys/stat.h>
#include <QDirIterator>
#include <QFile>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTreeView>

#include "DialogTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "task/Task.h"
#include "ui/dialogs/DelDirForm.h"
#include "ui/dialogs/DialogSupport.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

namespace {

void MakeFile(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
    qFatal("cannot write %s", qPrintable(path));
}

int CountFiles(const QString& root) {
  int n = 0;
  QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    ++n;
  }
  return n;
}

}  // namespace

class DelDirFormTest : public QObject {
  Q_OBJECT
 private slots:
  void deletesReadOnlyEntriesAndReportsEachFolder() {
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    MakeFile(root + "/index.html");
    MakeFile(root + "/img/a.gif");
    MakeFile(root + "/ro/locked.html");
    QFile::setPermissions(root + "/ro/locked.html", QFile::ReadOwner);
    ::chmod(QFile::encodeName(root + "/ro").constData(), S_IRUSR | S_IXUSR);  // a read-only folder
    ScriptedDialogs dialogs;
    dialogs.AnswerMessage(QMessageBox::Ok);
    TDelDirForm form;
    form.SetRootFolder(temp.path());
    form.SetPath(root + "/");
    ButtonWithText(form, QStringLiteral("删除"))->click();
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
    QCOMPARE(dialogs.asked[0].text, "将删除目录." + root + "/");
    QCOMPARE(dialogs.asked[0].caption, QStringLiteral("Look"));
    QVERIFY(!QFileInfo::exists(root));
    QStringList lines = form.ResultLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.last(), "RemoveDir " + root + " ok");
    lines.sort();
    QCOMPARE(lines[0], "RemoveDir " + root + " ok");
    QCOMPARE(lines[1], "RemoveDir " + root + "/img ok");
    QVERIFY(Control<QStatusBar>(form, "StatusBar1")->currentMessage().startsWith("已删除" + root));
  }

  void cancelDeletesNothing() {
    QTemporaryDir temp;
    MakeFile(temp.filePath("a/b.html"));
    ScriptedDialogs dialogs;
    dialogs.AnswerMessage(QMessageBox::Cancel);
    TDelDirForm form;
    form.SetPath(temp.filePath("a"));
    form.DeleteClicked();
    QVERIFY(QFileInfo::exists(temp.filePath("a/b.html")));
    QVERIFY(form.ResultLines().isEmpty());
  }

  // "终止" pressed after the second deleted file, deep inside: those two stay deleted, the rest
  // stays, and no folder is removed (their listings were cut short).
  void stopRequestEndsTheDeleteAtTheNextEntry() {
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    for (int i = 0; i < 4; ++i) MakeFile(root + QStringLiteral("/a/b/f%1.html").arg(i));
    for (int i = 0; i < 3; ++i) MakeFile(root + QStringLiteral("/c/g%1.html").arg(i));
    MakeFile(root + "/top.html");
    ScriptedDialogs dialogs;
    dialogs.AnswerMessage(QMessageBox::Ok);
    TDelDirForm form;
    form.SetPath(root);
    int deleted = 0;
    connect(Control<QStatusBar>(form, "StatusBar1"), &QStatusBar::messageChanged, [&] {
      QVERIFY(form.Deleting());
      if (++deleted == 2) ButtonWithText(form, QStringLiteral("终止"))->click();
    });
    form.DeleteClicked();
    QCOMPARE(deleted, 2);
    QCOMPARE(CountFiles(root), 8 - 2);
    QVERIFY(QFileInfo::exists(root));
    QVERIFY(form.ResultLines().isEmpty() ||
            !form.ResultLines().join("\n").contains("RemoveDir " + root + " "));
    // A new delete clears the stop request and finishes the job.
    dialogs.AnswerMessage(QMessageBox::Ok);
    disconnect(Control<QStatusBar>(form, "StatusBar1"), nullptr, nullptr, nullptr);
    form.DeleteClicked();
    QVERIFY(!QFileInfo::exists(root));
  }

  void aSymbolicLinkIsRemovedAsALink() {
    QTemporaryDir temp;
    const QString root = temp.filePath("site");
    MakeFile(temp.filePath("outside/keep.html"));
    MakeFile(root + "/index.html");
    QVERIFY(QFile::link(temp.filePath("outside"), root + "/linked-dir"));
    QVERIFY(QFile::link(temp.filePath("outside/keep.html"), root + "/linked-file"));
    TDelDirForm form;
    QVERIFY(form.DeleteTree(root));
    QVERIFY(!QFileInfo::exists(root));
    QVERIFY(QFileInfo::exists(temp.filePath("outside/keep.html")));
    // A chosen path that is itself a link: only the link goes.
    QVERIFY(QFile::link(temp.filePath("outside"), temp.filePath("alias")));
    QVERIFY(form.DeleteTree(temp.filePath("alias")));
    QVERIFY(!QFileInfo(temp.filePath("alias")).isSymLink());
    QVERIFY(QFileInfo::exists(temp.filePath("outside/keep.html")));
  }

  void aMissingPathDeletesNothingAndWritesNoLine() {
    QTemporaryDir temp;
    TDelDirForm form;
    QVERIFY(!form.DeleteTree(temp.filePath("nothing-here")));
    QVERIFY(!form.DeleteTree(QString()));
    QVERIFY(form.ResultLines().isEmpty());
  }

  void refusesTheRootAndTheHomeFolder() {
    ScriptedDialogs dialogs;
    TDelDirForm form;
    for (const QString& path : {QStringLiteral("/"), QDir::homePath(), QDir::homePath() + "/.",
                                QStringLiteral("/tmp/..")}) {
      dialogs.asked.clear();
      QVERIFY(!form.DeleteTree(path));
      QCOMPARE(dialogs.asked.size(), std::size_t{1});
      QVERIFY(dialogs.asked[0].text.contains(path));
    }
    QVERIFY(QFileInfo::exists(QDir::homePath()));
    QVERIFY(form.ResultLines().isEmpty());
  }

  void rootFolderAndSelection() {
    QTemporaryDir temp;
    MakeFile(temp.filePath("Websites/host/index.html"));
    TTask task;
    task.Folder = ToProgramPath(temp.filePath("Websites") + "/").toStdString();
    TDelDirForm form;
    QCOMPARE(form.RootFolder(), QCoreApplication::applicationDirPath());
    form.ShowFor(&task);
    QCOMPARE(form.RootFolder(), temp.filePath("Websites") + "/");
    QVERIFY(form.isVisible());
    QVERIFY(!form.isModal());
    auto* tree = Control<QTreeView>(form, "ShellTreeView1");
    QTRY_COMPARE(tree->model()->rowCount(tree->rootIndex()), 1);
    tree->setCurrentIndex(tree->model()->index(0, 0, tree->rootIndex()));
    QCOMPARE(form.Path(), temp.filePath("Websites/host"));
    QCOMPARE(form.windowTitle(), QStringLiteral("删除目录"));
    QCOMPARE(form.size(), QSize(687, 468));
    ButtonWithText(form, QStringLiteral("关闭"))->click();
    QVERIFY(!form.isVisible());
  }
};

QTEST_MAIN(DelDirFormTest)
#include "DelDirFormTest.moc"
