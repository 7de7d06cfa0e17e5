// The update command against update servers on 127.0.0.1: every row of its failure table, the
// dialog's rows, the download and the hand-over to the replacement, and a window that stays
// responsive while a server does not answer.
#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "platform/Files.h"
#include "support/RawHttpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/dialogs/ConfirmListDlg.h"
#include "update/UpdateList.h"
#include "update/UpdateServerFixture.h"
#include "update/ui/ConfirmListAdapter.h"
#include "update/ui/OnlineUpdate.h"

namespace qm::ui {
namespace {

using qm::test::UpdateTestServer;

class RecordingWindow final : public TUpdateWindow {
 public:
  QWidget* DialogParent() override { return nullptr; }
  void ShowStatus(const QString& text) override { statuses << text; }
  void ShowTransferProgress() override { ++progressShown; }
  void Terminate() override { ++terminated; }
  QStringList statuses;
  int progressShown = 0;
  int terminated = 0;
};

class FakeListDialog final : public TUpdateListDialog {
 public:
  QDialog& Dialog() override { return dialog; }
  THttpClient& Client() override { return client; }
  void ClearRows() override { rows.clear(); }
  void AddRow(const QStringList& cells) override { rows.push_back({cells, true}); }
  bool RowTicked(int row) const override { return rows.at(row).ticked; }
  struct Row {
    QStringList cells;
    bool ticked;
  };
  QDialog dialog;
  THttpClient client;
  std::vector<Row> rows;
};

std::string Section(const std::string& key, const std::string& ver, const std::string& url) {
  return "[" + key + "]<ver>" + ver + "</ver><date>2026-12-01</date><url>" + url +
         "</url><description>" + key + "</description>[/" + key + "]\r\n";
}

}  // namespace

class OnlineUpdateTest : public QObject {
  Q_OBJECT

 private:
  // One update run with a program folder holding prog (1.0.0.1) and a.txt (old).
  struct Run {
    qm::test::TempDir dir;
    QAction menu{"在线升级"};
    RecordingWindow window;
    FakeListDialog dialog;
    qm::ui::test::ScriptedDialogs dialogs;
    TOnlineUpdate update{menu, window, dialog};
    int replacementsStarted = 0;
    Run(const std::string& first, const std::string& second) {
      update.Folder = dir.Path().string() + "/";
      update.ProgramName = "prog";
      update.Servers = {first, second};
      update.Limits = {2000, 2};
      update.StartReplacement = [this] { return ++replacementsStarted, true; };
      qm::test::WriteFileBytes(dir.Path() / "prog", qm::test::WithVersionRecord("1.0.0.1"));
      qm::test::WriteFileBytes(dir.Path() / "a.txt", "old");
      SetFileDate(update.Folder + "a.txt", ParseListDate("2020-01-01"));
    }
    QStringList Messages() const {
      QStringList texts;
      for (const auto& asked : dialogs.asked) texts << asked.text;
      return texts;
    }
    bool Exists(const std::string& name) const { return FileExists(update.Folder + name); }
  };

  void ServeTwoNewerFiles(UpdateTestServer& server) {
    server.Put("/f/prog", qm::test::WithVersionRecord("1.0.0.2", "new"));
    server.Put("/f/a.txt", "new text");
    server.SetList("[updatelist]<prog>prog,same,a.txt</prog>[/updatelist]\r\n" +
                   Section("prog/prog", "1.0.0.2", server.Url("/f/prog")) +
                   Section("prog/a.txt", "", server.Url("/f/a.txt")));
  }

 private slots:
  void init() { UpdateServer.clear(); }

  void firstServerDownUsesTheSecondAndDownloads() {
    UpdateTestServer server;
    ServeTwoNewerFiles(server);
    Run run(qm::test::DeadServer(), server.Base());
    run.dialogs.AnswerDialog([](QDialog&) { return int(QDialog::Accepted); });
    run.update.N22Click();

    QCOMPARE(QString::fromStdString(UpdateServer), QString::fromStdString(server.Base()));
    QCOMPARE(run.dialogs.shownDialogs.size(), 1);
    QCOMPARE(run.dialog.rows.size(), std::size_t(2));
    QCOMPARE(run.dialog.rows[0].cells,
             QStringList({"prog/prog",
                          QString::number(qm::test::WithVersionRecord("1.0.0.2", "new").size()),
                          "1.0.0.2", "2026-12-01", "prog"}));
    QCOMPARE(run.dialog.rows[1].cells.at(4), QString("a.txt"));
    QVERIFY(run.Exists("pro_"));
    QCOMPARE(QString::fromStdString(qm::test::ReadFileBytes(run.dir.Path() / "a.tx_")),
             QString("new text"));
    QVERIFY(run.Exists("Self_del.bat"));
    QCOMPARE(run.replacementsStarted, 1);
    QCOMPARE(run.window.terminated, 1);
    QCOMPARE(run.window.progressShown, 1);
    QCOMPARE(run.window.statuses.first(), QString("正在检查升级信息，请稍侯..."));
    const QString done = "下载完毕，如果成功的话，将在退出后自动启动新程序。";
    QCOMPARE(run.window.statuses.last(), done);
    QCOMPARE(run.Messages(), QStringList({done}));
    QCOMPARE(run.dialogs.asked.back().caption, QString("升级成功！"));
    QVERIFY(!run.dialog.client.FollowRedirects);
  }

  void bothServersDown() {
    Run run(qm::test::DeadServer(), qm::test::DeadServer());
    run.update.N22Click();
    QCOMPARE(run.Messages(), QStringList({"升级网站不通或未找到升级信息文件"}));
    QCOMPARE(run.window.statuses.last(), QString("升级网站不通"));
    QVERIFY(run.menu.isEnabled());
    QVERIFY(run.dialogs.shownDialogs.isEmpty());
  }

  void headFailingWithdrawsTheFile() {
    UpdateTestServer server;
    ServeTwoNewerFiles(server);
    server.FailHead("/f/prog");
    Run run(server.Base(), qm::test::DeadServer());
    run.dialogs.AnswerDialog([](QDialog&) { return int(QDialog::Accepted); });
    run.update.N22Click();
    QCOMPARE(run.dialog.rows.size(), std::size_t(1));
    QCOMPARE(run.dialog.rows[0].cells.at(4), QString("a.txt"));
    QVERIFY(!run.Exists("pro_"));
    QVERIFY(run.Exists("a.tx_"));
    QCOMPARE(server.Requests("GET", "/f/prog"), 0);
    const std::string batch = qm::test::ReadFileBytes(run.dir.Path() / "Self_del.bat");
    QCOMPARE(QString::fromStdString(batch),
             QString(":try2\r\ndel \"a.txt\"\r\nif exist \"a.txt\" goto try2\r\n"
                     "rename \"a.tx_\" \"a.txt\"\r\n.\\prog\r\ndel %0\r\n"));
  }

  void nothingNewer() {
    UpdateTestServer server;
    server.SetList("[updatelist]<prog>prog</prog>[/updatelist]" +
                   Section("prog/prog", "1.0.0.1", server.Url("/f/prog")));
    Run run(server.Base(), qm::test::DeadServer());
    run.update.N22Click();
    const QString latest = "已是最新版本，无需升级。";
    QCOMPARE(run.Messages(), QStringList({latest}));
    QCOMPARE(run.window.statuses.last(), latest);
    QVERIFY(!run.menu.isEnabled());  // until the program starts again
    QVERIFY(run.dialogs.shownDialogs.isEmpty());
    QCOMPARE(server.Requests("HEAD", "/f/prog"), 0);
  }

  void nothingTicked() {
    UpdateTestServer server;
    ServeTwoNewerFiles(server);
    Run run(server.Base(), qm::test::DeadServer());
    run.dialogs.AnswerDialog([&run](QDialog&) {
      for (auto& row : run.dialog.rows) row.ticked = false;
      return int(QDialog::Accepted);
    });
    run.update.N22Click();
    QCOMPARE(run.Messages(), QStringList({"没有下载文件"}));
    QCOMPARE(run.window.statuses.last(), QString("没有下载文件"));
    QVERIFY(run.menu.isEnabled());
    QVERIFY(!run.Exists("Self_del.bat"));
    QCOMPARE(run.window.terminated, 0);
  }

  void missingInterpreterKeepsTheProgramOpen() {
    UpdateTestServer server;
    ServeTwoNewerFiles(server);
    Run run(server.Base(), qm::test::DeadServer());
    run.update.StartReplacement = [] { return false; };
    run.dialogs.AnswerDialog([](QDialog&) { return int(QDialog::Accepted); });
    run.update.N22Click();
    QCOMPARE(run.window.terminated, 0);
    QVERIFY(run.Messages().last().startsWith("Cannot start "));
    QVERIFY(run.Messages().last().endsWith("quillmoss-selfupdate"));
  }

  void conversionErrorStopsTheCommand() {
    UpdateTestServer server;
    server.SetList("[updatelist]<prog>prog</prog>[/updatelist]" +
                   Section("prog/prog", "1.0.2", server.Url("/f/prog")));
    Run run(server.Base(), qm::test::DeadServer());
    run.update.N22Click();
    QCOMPARE(run.Messages(), QStringList({"'' is not a valid integer value"}));
    QVERIFY(!run.menu.isEnabled());
  }

  void shortDownloadStopsBeforeTheBatch() {
    UpdateTestServer server;
    qm::test::RawHttpServer liar([](const std::string& request) {
      if (request.starts_with("HEAD"))
        return qm::test::RawAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", false, false};
      return qm::test::RawAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", false,
                                 true};
    });
    server.Put("/f/a.txt", "new text");
    server.SetList("[updatelist]<prog>a.txt,prog</prog>[/updatelist]" +
                   Section("prog/a.txt", "", server.Url("/f/a.txt")) +
                   Section("prog/prog", "1.0.0.2", liar.BaseUrl() + "/prog"));
    Run run(server.Base(), qm::test::DeadServer());
    run.dialogs.AnswerDialog([](QDialog&) { return int(QDialog::Accepted); });
    run.update.N22Click();
    QCOMPARE(run.dialogs.asked.size(), std::size_t(1));
    QVERIFY(!run.dialogs.asked[0].text.isEmpty());
    QCOMPARE(run.dialogs.asked[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(run.Exists("a.tx_"));  // fetched before, left under its temporary name
    QVERIFY(!run.Exists("pro_"));
    QVERIFY(!run.Exists("Self_del.bat"));
    QVERIFY(!run.menu.isEnabled());
    QCOMPARE(run.window.terminated, 0);
  }

  void silentServerEndsAndTheWindowKeepsWorking() {
    qm::test::RawHttpServer silent([](const std::string&) {
      return qm::test::RawAnswer{"", true, false};
    });
    Run run(silent.BaseUrl(), silent.BaseUrl());
    run.update.Limits = {500, 1};
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    run.update.N22Click();
    QVERIFY(clock.elapsed() < 15000);
    QVERIFY2(ticks >= 10, "the window's events were not processed while waiting");
    QCOMPARE(run.Messages(), QStringList({"升级网站不通或未找到升级信息文件"}));
  }

  void throughTheUpdateListDialog() {
    UpdateTestServer server;
    ServeTwoNewerFiles(server);
    qm::test::TempDir dir;
    QAction menu("在线升级");
    RecordingWindow window;
    TConfirmListDlg dialog;
    TConfirmListAdapter adapter(dialog);
    qm::ui::test::ScriptedDialogs dialogs;
    TOnlineUpdate update(menu, window, adapter);
    update.Folder = dir.Path().string() + "/";
    update.ProgramName = "prog";
    update.Servers = {server.Base(), qm::test::DeadServer()};
    int started = 0;
    update.StartReplacement = [&] { return ++started, true; };

    // "以后再说" first: nothing is fetched and the command can be used again.
    dialogs.AnswerDialog([](QDialog& d) {
      d.findChild<QPushButton*>("ButtonLater")->click();
      return d.result();
    });
    update.N22Click();
    QCOMPARE(dialog.List().topLevelItemCount(), 2);
    QCOMPARE(dialog.List().topLevelItem(0)->text(3), QString("2026-12-01"));
    QVERIFY(menu.isEnabled());
    QVERIFY(!FileExists(update.Folder + "pro_"));

    // Then "升级" with the first row unticked: the list is filled anew, only a.txt is fetched.
    dialogs.AnswerDialog([](QDialog& d) {
      auto* list = d.findChild<QTreeWidget*>();
      list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
      d.findChild<QPushButton*>("ButtonUpgrade")->click();
      return d.result();
    });
    update.N22Click();
    QCOMPARE(dialog.List().topLevelItemCount(), 2);
    QVERIFY(!FileExists(update.Folder + "pro_"));
    QVERIFY(FileExists(update.Folder + "a.tx_"));
    QCOMPARE(started, 1);
    QCOMPARE(window.terminated, 1);
  }

  void proxyWithoutPortStopsTheCommand() {
    Run run(qm::test::DeadServer(), qm::test::DeadServer());
    ::setenv("http_proxy", "cache.lan", 1);
    run.update.N22Click();
    ::unsetenv("http_proxy");
    QCOMPARE(run.window.statuses.last(),
             QString("正在检查升级信息，请稍侯...代理服务器是cache.lan"));
    QCOMPARE(run.Messages(), QStringList({"'' is not a valid integer value"}));
    QVERIFY(!run.menu.isEnabled());
  }
};

}  // namespace qm::ui

QTEST_MAIN(qm::ui::OnlineUpdateTest)
#include "OnlineUpdateTest.moc"
