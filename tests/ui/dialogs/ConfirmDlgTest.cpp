// The new-task dialog: the name rule, the title fetch against servers started here, the file
// chooser and the two OK buttons.
#include <QElapsedTimer>
#include <QTimer>

#include "DialogTestSupport.h"
#include "manager/TaskManager.h"
#include "platform/Gbk.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSite.h"
#include "ui/dialogs/ConfirmDlg.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;
using qm::test::PageOf;
using qm::test::TestSite;

class ConfirmDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void nameChangeRule_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expectedFile");
    const QString file = QStringLiteral("\\srv\\Websites\\host.web");
    QTest::newRow("plain name") << "news"
                                << "\\srv\\Websites\\news.web";
    QTest::newRow("Chinese name") << "新闻"
                                  << "\\srv\\Websites\\新闻.web";
    QTest::newRow("empty") << "" << file;
    for (QChar c : QStringLiteral("\\/:*?\"<>|"))
      QTest::newRow(qPrintable(QStringLiteral("forbidden %1").arg(c)))
          << ("a" + QString(c) + "b") << file;
  }
  void nameChangeRule() {
    QFETCH(QString, typed);
    QFETCH(QString, expectedFile);
    TConfirmDlg dlg;
    dlg.SetFilename(QStringLiteral("\\srv\\Websites\\host.web"));
    Control<QLineEdit>(dlg, "EditProjName")->setText(QStringLiteral("x"));
    dlg.SetFilename(QStringLiteral("\\srv\\Websites\\host.web"));
    Control<QLineEdit>(dlg, "EditProjName")->setText(typed);
    QCOMPARE(dlg.Filename(), expectedFile);
  }

  void nameChangeKeepsAFolderWrittenWithSlashes() {
    TConfirmDlg dlg;
    dlg.SetFilename(QStringLiteral("/srv/sites/host.web"));
    QTest::keyClicks(Control<QLineEdit>(dlg, "EditProjName"), QStringLiteral("ab"));
    QCOMPARE(dlg.Filename(), QStringLiteral("/srv/sites/ab.web"));
  }

  void titleFetchTakesTheTrimmedTitle_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("title");
    QTest::newRow("lower case, blanks")
        << QByteArray("<html><head><title>  News Page \t</title>") << "News Page";
    QTest::newRow("upper case") << QByteArray("<HTML><TITLE>Home</TITLE><BODY>x</BODY>") << "Home";
    QTest::newRow("UTF-8") << QByteArray("<title>新闻中心</title>") << "新闻中心";
    QTest::newRow("GBK") << QByteArray::fromStdString("<title>" + Utf8ToGbk("新闻中心") +
                                                      "</title>")
                         << "新闻中心";
  }
  void titleFetchTakesTheTrimmedTitle() {
    QFETCH(QByteArray, page);
    QFETCH(QString, title);
    TestSite site;
    site.Put("/index.html", PageOf(page.toStdString()));
    ScriptedDialogs dialogs;
    TConfirmDlg dlg;
    dlg.SetFilename(QStringLiteral("\\srv\\Websites\\127.0.0.1.web"));
    dlg.SetUrl(QString::fromStdString(site.Url("/index.html")));
    Click(dlg, QStringLiteral("获取网页标题"));
    QCOMPARE(dlg.ProjName(), title);
    QCOMPARE(dlg.Filename(), "\\srv\\Websites\\" + title + ".web");
    QVERIFY(dialogs.asked.empty());
  }

  void titleFetchFollowsARedirect() {
    TestSite site;
    site.Put("/", qm::test::RedirectOf("/home.html"));
    site.Put("/home.html", PageOf("<title>Moved</title>"));
    ScriptedDialogs dialogs;
    TConfirmDlg dlg;
    dlg.SetUrl(QString::fromStdString(site.Url("/")));
    dlg.FetchTitle();
    QCOMPARE(dlg.ProjName(), QStringLiteral("Moved"));
  }

  void pageWithoutTitleIsReported() {
    TestSite site;
    site.Put("/", PageOf("<html><body>no title here</body>"));
    site.Put("/reversed", PageOf("</title>x<title>"));
    for (const char* path : {"/", "/reversed"}) {
      ScriptedDialogs dialogs;
      TConfirmDlg dlg;
      dlg.SetProjName(QStringLiteral("keep"));
      dlg.SetUrl(QString::fromStdString(site.Url(path)));
      dlg.FetchTitle();
      QCOMPARE(dlg.ProjName(), QStringLiteral("keep"));
      QCOMPARE(dialogs.asked.size(), std::size_t{1});
      QCOMPARE(dialogs.asked[0].text, QStringLiteral("该网页标题不存在"));
      QCOMPARE(dialogs.asked[0].caption, QStringLiteral("下载成功"));
    }
  }

  void failedFetchLeavesTheFields_data() {
    QTest::addColumn<int>("server");  // 0 nothing listening, 1 never answers, 2 404, 3 empty URL
    QTest::newRow("unreachable") << 0;
    QTest::newRow("never answers") << 1;
    QTest::newRow("not found") << 2;
    QTest::newRow("empty URL") << 3;
  }
  void failedFetchLeavesTheFields() {
    QFETCH(int, server);
    TestSite site;
    SilentServer silent;
    const std::string url = server == 0   ? UnreachableUrl()
                            : server == 1 ? silent.Url()
                            : server == 2 ? site.Url("/missing.html")
                                          : std::string();
    ScriptedDialogs dialogs;
    TConfirmDlg dlg;
    dlg.TitleFetcher().SetLimitMs(300);
    dlg.SetFilename(QStringLiteral("\\srv\\a.web"));
    dlg.SetProjName(QStringLiteral("a"));
    dlg.SetUrl(QString::fromStdString(url));
    QElapsedTimer clock;
    clock.start();
    dlg.FetchTitle();
    QVERIFY2(clock.elapsed() < 10000, "the fetch must give up");
    QCOMPARE(dlg.ProjName(), QStringLiteral("a"));
    QCOMPARE(dlg.Filename(), QStringLiteral("\\srv\\a.web"));
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
    QCOMPARE(dialogs.asked[0].text, QStringLiteral("该网页不存在"));
    QCOMPARE(dialogs.asked[0].caption, QStringLiteral("下载失败"));
  }

  void windowAnswersWhileTheFetchWaits() {
    SilentServer silent;
    ScriptedDialogs dialogs;
    TConfirmDlg dlg;
    dlg.TitleFetcher().SetLimitMs(1500);
    dlg.SetUrl(QString::fromStdString(silent.Url()));
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    // A button pressed during the wait is handled, and a second fetch is refused meanwhile.
    bool secondRefused = false;
    QTimer::singleShot(200, [&] {
      secondRefused =
          dlg.TitleFetcher().Fetch("http://127.0.0.1:1/").Outcome == TTitleFetchResult::Cancelled;
    });
    dlg.FetchTitle();
    QVERIFY2(ticks >= 10, qPrintable(QStringLiteral("only %1 timer ticks").arg(ticks)));
    QVERIFY(secondRefused);
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
  }

  void closingTheDialogEndsTheFetchSilently() {
    SilentServer silent;
    ScriptedDialogs dialogs;
    TConfirmDlg dlg;
    dlg.SetUrl(QString::fromStdString(silent.Url()));
    QTimer::singleShot(100, [&] { Click(dlg, QStringLiteral("取消")); });
    QElapsedTimer clock;
    clock.start();
    dlg.FetchTitle();  // limit still 30 s: only the cancel can end it this soon
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(dialogs.asked.empty());
  }

  void fileChooserReplacesTheFileField() {
    ScriptedDialogs dialogs;
    TConfirmDlg dlg;
    dlg.SetFilename(QStringLiteral("\\srv\\a.web"));
    dialogs.AnswerFile(QStringLiteral("/home/u/sites/b.web"));
    Click(dlg, QStringLiteral(". . ."));
    QCOMPARE(dlg.Filename(), QStringLiteral("\\home\\u\\sites\\b.web"));
    Click(dlg, QStringLiteral(". . ."));  // cancelled: no path comes back
    QCOMPARE(dlg.Filename(), QStringLiteral("\\home\\u\\sites\\b.web"));
  }

  void theTwoOkButtonsSetStartAtOnce() {
    TConfirmDlg dlg;
    StartAtOnce = true;
    QCOMPARE(Click(dlg, QStringLiteral("新建")), int(QDialog::Accepted));
    QCOMPARE(StartAtOnce.load(), false);
    QCOMPARE(Click(dlg, QStringLiteral("新建并立即下载")), int(QDialog::Accepted));
    QCOMPARE(StartAtOnce.load(), true);
    StartAtOnce = false;
    QCOMPARE(Click(dlg, QStringLiteral("取消")), int(QDialog::Rejected));
    QCOMPARE(StartAtOnce.load(), false);
  }

  void layoutNamesAndTexts() {
    TConfirmDlg dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("TConfirmDlg"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("新建任务"));
    QCOMPARE(dlg.size(), QSize(544, 312));
    QCOMPARE(Control<QLineEdit>(dlg, "EditUrl")->width(), 297);
    QCOMPARE(Control<QLineEdit>(dlg, "EditProjName")->width(), 121);
    QCOMPARE(Control<QLineEdit>(dlg, "EditFilename")->width(), 249);
  }
};

QTEST_MAIN(ConfirmDlgTest)
#include "ConfirmDlgTest.moc"
