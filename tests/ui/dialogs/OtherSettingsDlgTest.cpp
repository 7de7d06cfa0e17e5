// The update settings and other settings dialogs: OK stores, Cancel does not, and "<" adds a
// known string once whatever its letter case.
#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>

#include "DialogTestSupport.h"
#include "config/Setting.h"
#include "support/ScriptedDialogs.h"
#include "ui/dialogs/PagesSetDlg.h"
#include "ui/dialogs/UpdateSetDlg.h"

using namespace qm;
using namespace qm::ui;
using namespace qm::ui::test;

namespace {

std::vector<std::string> S(std::initializer_list<const char*> items) {
  return {items.begin(), items.end()};
}

void SelectKnown(QDialog& d, QStringList texts) {
  auto* list = Control<QListWidget>(d, "ListBoxKnown");
  for (int i = 0; i < list->count(); ++i)
    list->item(i)->setSelected(texts.contains(list->item(i)->text()));
}

}  // namespace

class OtherSettingsDlgTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { ResetSettings(); }
  void cleanup() { ResetSettings(); }

  void updateSettingsOkStoresAndCancelKeeps() {
    ScriptedDialogs dialogs;
    TUpdateSetDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("更新设置"));
    for (bool ok : {false, true}) {
      QList<bool> shown;
      dialogs.AnswerDialog([&](QDialog& d) {
        for (const char* name :
             {"CheckBoxNoUpdateStatic", "CheckBoxNoUpdateErrors", "CheckBoxUpdatePagesOnly"}) {
          shown << Control<QCheckBox>(d, name)->isChecked();
          Control<QCheckBox>(d, name)->setChecked(false);
        }
        Control<QCheckBox>(d, "CheckBoxNoUpdateErrors")->setChecked(true);
        return Click(d, ok ? QStringLiteral("OK") : QStringLiteral("Cancel"));
      });
      QCOMPARE(dlg.Execute(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
      QCOMPARE(shown, QList<bool>({true, true, true}));
      QCOMPARE(NoUpdateStatic.load(), !ok);
      QCOMPARE(NoUpdateErrors.load(), true);
      QCOMPARE(UpdatePagesOnly.load(), !ok);
    }
  }

  void knownStringsAreAddedOnceIgnoringCase() {
    RejectStrings.Assign(S({"Cookies.ASP?"}));
    ScriptedDialogs dialogs;
    TPagesSetDlg dlg;
    QStringList afterFirst, afterSecond;
    dialogs.AnswerDialog([&](QDialog& d) {
      SelectKnown(d, {"cookies.asp?", "delete"});
      Click(d, QStringLiteral("<"));
      afterFirst = static_cast<TPagesSetDlg&>(d).Lines();
      Click(d, QStringLiteral("<"));
      afterSecond = static_cast<TPagesSetDlg&>(d).Lines();
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(afterFirst, QStringList({"Cookies.ASP?", "delete"}));
    QCOMPARE(afterSecond, afterFirst);
    QCOMPARE(RejectStrings.Items(), S({"Cookies.ASP?", "delete"}));
  }

  void okStoresTheSwitchesAndTheLinesInOrder() {
    ScriptedDialogs dialogs;
    TPagesSetDlg dlg;
    QString shownText;
    dialogs.AnswerDialog([&](QDialog& d) {
      shownText = Control<QPlainTextEdit>(d, "MemoCookiesUrl")->toPlainText();
      Control<QCheckBox>(d, "CheckBoxUseSystemCookies")->setChecked(false);
      Control<QCheckBox>(d, "CheckBoxRejectStrings")->setChecked(false);
      Control<QPlainTextEdit>(d, "MemoCookiesUrl")->setPlainText("logout\n\n&sid=\n");
      return Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(dlg.Execute(), int(QDialog::Accepted));
    QCOMPARE(shownText, QStringLiteral("cookies.asp?\n&action="));
    QCOMPARE(UseSystemCookies.load(), false);
    QCOMPARE(RejectStringsOn.load(), false);
    QCOMPARE(RejectStrings.Items(), S({"logout", "", "&sid="}));

    // An emptied field leaves no strings; Cancel changes nothing.
    dialogs.AnswerDialog([](QDialog& d) {
      Control<QPlainTextEdit>(d, "MemoCookiesUrl")->clear();
      return Click(d, QStringLiteral("OK"));
    });
    dlg.Execute();
    QCOMPARE(RejectStrings.Count(), std::size_t{0});
    dialogs.AnswerDialog([](QDialog& d) {
      Control<QPlainTextEdit>(d, "MemoCookiesUrl")->setPlainText("x");
      Control<QCheckBox>(d, "CheckBoxUseSystemCookies")->setChecked(true);
      return Click(d, QStringLiteral("Cancel"));
    });
    dlg.Execute();
    QCOMPARE(RejectStrings.Count(), std::size_t{0});
    QCOMPARE(UseSystemCookies.load(), false);
  }

  void pagesSetLayout() {
    TPagesSetDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("设置"));
    QCOMPARE(dlg.size(), QSize(427, 300));
    auto* known = Control<QListWidget>(dlg, "ListBoxKnown");
    QCOMPARE(known->count(), 3);
    QCOMPARE(known->item(1)->text(), QStringLiteral("&action="));
    QCOMPARE(known->selectionMode(), QAbstractItemView::ExtendedSelection);
  }
};

QTEST_MAIN(OtherSettingsDlgTest)
#include "OtherSettingsDlgTest.moc"
