// The main settings dialog: what it shows, the thread count's limits, the order of its OK steps
// and what a field that is not an integer stops.
#include <QCheckBox>
#include <QRadioButton>

#include "DialogTestSupport.h"
#include "config/Setting.h"
#include "support/ScriptedDialogs.h"
#include "ui/dialogs/SimpleSetDlg.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

class SimpleSetDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { ResetSettings(); }
  void cleanup() { ResetSettings(); }

  void threadCountIsLimitedToOneToTen_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("0") << "0" << 1;
    QTest::newRow("-5") << "-5" << 1;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("2") << "2" << 2;
    QTest::newRow("7") << "7" << 7;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("10") << "10" << 10;
    QTest::newRow("11") << "11" << 10;
    QTest::newRow("50") << "50" << 10;
    QTest::newRow("blanks") << " 3 " << 3;
  }
  void threadCountIsLimitedToOneToTen() {
    QFETCH(QString, typed);
    QFETCH(int, stored);
    ScriptedDialogs dialogs;
    TSimpleSetDlg dlg;
    dialogs.AnswerDialog([&](QDialog& d) {
      Control<QLineEdit>(d, "EditNumOfThread")->setText(typed);
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(ThreadCount.load(), stored);
  }

  void showsAndStoresEverySetting() {
    DefaultDepth = 3;
    ThreadCount = 4;
    DefaultContent = -1;
    DefaultScope = 2;
    DefaultForeignImages = true;
    AutoUpdateNonPages = false;
    ScriptedDialogs dialogs;
    TSimpleSetDlg dlg;
    QStringList shown;
    dialogs.AnswerDialog([&](QDialog& d) {
      shown << Control<QLineEdit>(d, "EditLevel")->text()
            << Control<QLineEdit>(d, "EditNumOfThread")->text();
      for (const char* name : {"RadioContentAll", "RadioScopeDir", "RadioImagesForeign"})
        shown << QString::number(Control<QRadioButton>(d, name)->isChecked());
      shown << QString::number(Control<QCheckBox>(d, "CheckBoxAutoUpdate")->isChecked());
      Control<QLineEdit>(d, "EditLevel")->setText(QStringLiteral("-1"));
      Control<QRadioButton>(d, "RadioContentPages")->setChecked(true);
      Control<QRadioButton>(d, "RadioScopeSite")->setChecked(true);
      Control<QRadioButton>(d, "RadioImagesOwn")->setChecked(true);
      Control<QCheckBox>(d, "CheckBoxAutoUpdate")->setChecked(true);
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(shown, QStringList({"3", "4", "1", "1", "1", "0"}));
    QCOMPARE(DefaultDepth.load(), -1);
    QCOMPARE(DefaultContent.load(), 0);
    QCOMPARE(DefaultScope.load(), 0);
    QCOMPARE(DefaultForeignImages.load(), false);
    QCOMPARE(AutoUpdateNonPages.load(), true);
    // Depth -1 is shown again as "-1".
    dialogs.AnswerDialog([](QDialog& d) {
      return Control<QLineEdit>(d, "EditLevel")->text() == "-1" ? int(QDialog::Accepted) : -1;
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
  }

  void aValueNoButtonStandsForShowsNoSelectionAndIsKept() {
    DefaultContent = 7;
    DefaultScope = -3;
    ScriptedDialogs dialogs;
    TSimpleSetDlg dlg;
    dialogs.AnswerDialog([&](QDialog& d) {
      for (QRadioButton* r : d.findChildren<QRadioButton*>())
        if (r->objectName().startsWith("RadioContent") || r->objectName().startsWith("RadioScope"))
          if (r->isChecked()) return -1;
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(DefaultContent.load(), 7);
    QCOMPARE(DefaultScope.load(), -3);
  }

  // A field that is not an integer is reported; it and the later steps keep their values, the
  // earlier ones are stored, and the dialog stays open for a correction.
  void notAnIntegerStopsThatStepAndTheLaterOnes_data() {
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("threads");
    QTest::addColumn<int>("expectedDepth");
    QTest::newRow("depth") << "abc"
                           << "3" << 5;
    QTest::newRow("depth empty") << ""
                                 << "3" << 5;
    QTest::newRow("depth too large") << "99999999999"
                                     << "3" << 5;
    QTest::newRow("threads") << "2"
                             << "x1" << 2;
    QTest::newRow("threads decimal") << "2"
                                     << "2.5" << 2;
  }
  void notAnIntegerStopsThatStepAndTheLaterOnes() {
    QFETCH(QString, depth);
    QFETCH(QString, threads);
    QFETCH(int, expectedDepth);
    DefaultDepth = 5;
    ThreadCount = 6;
    AutoUpdateNonPages = true;
    ScriptedDialogs dialogs;
    TSimpleSetDlg dlg;
    dialogs.AnswerDialog([&](QDialog& d) {
      Control<QLineEdit>(d, "EditLevel")->setText(depth);
      Control<QLineEdit>(d, "EditNumOfThread")->setText(threads);
      Control<QCheckBox>(d, "CheckBoxAutoUpdate")->setChecked(false);
      Control<QRadioButton>(d, "RadioScopeDir")->setChecked(true);
      return Click(d, QStringLiteral("OK"));
    });
    QVERIFY(dlg.Execute() != QDialog::Accepted);
    QCOMPARE(DefaultDepth.load(), expectedDepth);
    QCOMPARE(ThreadCount.load(), 6);
    QCOMPARE(AutoUpdateNonPages.load(), true);
    QCOMPARE(DefaultScope.load(), 1);
    QCOMPARE(dialogs.asked.size(), std::size_t{1});
    QVERIFY(dialogs.asked[0].text.contains(depth == "2" ? threads : depth));
  }

  void cancelChangesNothing() {
    ScriptedDialogs dialogs;
    TSimpleSetDlg dlg;
    dialogs.AnswerDialog([&](QDialog& d) {
      Control<QLineEdit>(d, "EditLevel")->setText(QStringLiteral("2"));
      Control<QLineEdit>(d, "EditNumOfThread")->setText(QStringLiteral("3"));
      return Click(d, QStringLiteral("Cancel"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Rejected));
    QCOMPARE(DefaultDepth.load(), -1);
    QCOMPARE(ThreadCount.load(), 10);
  }

  void captionAndName() {
    TSimpleSetDlg dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("TSimpleSetDlg"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("主要设置"));
  }
};

QTEST_MAIN(SimpleSetDlgTest)
#include "SimpleSetDlgTest.moc"
