// The about dialog's version label and the update list dialog's layout and transfer hooks.
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <thread>

#include "DialogTestSupport.h"
#include "support/RecordingWindow.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/ConfirmListDlg.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

class AboutAndListDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void aboutShowsMajorMinorAndBuild() {
    QCOMPARE(VersionLabelText({2, 1, 0, 37}), QStringLiteral("版本： 2.1.37"));
    TAboutDialog dlg;
    dlg.SetVersion({2, 1, 0, 37});
    QCOMPARE(Control<QLabel>(dlg, "LabelVersion")->text(), QStringLiteral("版本： 2.1.37"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Quill Moss"));
    QCOMPARE(dlg.size(), QSize(536, 348));
    QCOMPARE(Control<QLabel>(dlg, "ProductName")->text(), QStringLiteral("Quillmoss"));
    QVERIFY(!Control<QLabel>(dlg, "ProgramIcon")->pixmap().isNull());  // the picture loads
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
  }

  void aboutTakesTheProgramsOwnVersion() {
    TAboutDialog dlg;
    const auto v = ProgramVersion();
    QVERIFY(v[0] + v[1] + v[2] + v[3] > 0);
    QCOMPARE(dlg.VersionText(), VersionLabelText(v));
  }

  void updateListLayout() {
    TConfirmListDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ConfirmListDlg"));
    QTreeWidget& list = dlg.List();
    const QStringList captions{"更新的文件", "文件大小", "版本", "日期", "文件名"};
    const int widths[] = {80, 70, 60, 60, 110};
    QCOMPARE(list.columnCount(), 5);
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(list.headerItem()->text(i), captions[i]);
      QCOMPARE(list.columnWidth(i), widths[i]);
    }
    QCOMPARE(dlg.ProgressBar().maximum(), 100);
    QCOMPARE(Click(dlg, QStringLiteral("升级")), int(QDialog::Accepted));
    QCOMPARE(Click(dlg, QStringLiteral("以后再说")), int(TConfirmListDlg::Ignore));
  }

  void transferWithAnnouncedSizeMovesBothBars() {
    qm::test::RecordingWindow window;
    SetWindow(&window);
    TConfirmListDlg dlg;
    dlg.WorkBegin(2000);
    QCOMPARE(dlg.ProgressBar().maximum(), 2000);
    dlg.Work(500);
    QCOMPARE(dlg.ProgressBar().value(), 500);
    dlg.Work(2000);
    dlg.WorkEnd();
    QCOMPARE(dlg.ProgressBar().value(), 0);
    SetWindow(nullptr);
    QCOMPARE(window.StatusTexts(),
             (std::vector<std::string>{"下载中Transfering: 2000byte", "500 bytes of 2000 bytes.",
                                       "2000 bytes of 2000 bytes.", "Done"}));
    QCOMPARE(window.ProgressValues(), (std::vector<int>{0, 25, 100, 0}));
  }

  void transferWithoutSizeShowsOnlyTheCount() {
    qm::test::RecordingWindow window;
    SetWindow(&window);
    TConfirmListDlg dlg;
    dlg.WorkBegin(0);
    dlg.Work(700);
    dlg.Work(1400);
    QCOMPARE(dlg.ProgressBar().value(), 0);
    dlg.WorkEnd();
    SetWindow(nullptr);
    QCOMPARE(window.StatusTexts(), (std::vector<std::string>{"700 bytes.", "1400 bytes.", "Done"}));
    QCOMPARE(window.ProgressValues(), (std::vector<int>{0, 0}));
  }

  void hooksFromTheClientsThreadReachTheBarOnTheGuiThread() {
    qm::test::RecordingWindow window;
    SetWindow(&window);
    TConfirmListDlg dlg;
    std::thread client([&] {
      dlg.WorkBegin(100);
      dlg.Work(40);
    });
    client.join();
    QTRY_COMPARE(dlg.ProgressBar().value(), 40);
    QCOMPARE(dlg.ProgressBar().maximum(), 100);
    SetWindow(nullptr);
  }
};

QTEST_MAIN(AboutAndListDlgTest)
#include "AboutAndListDlgTest.moc"
