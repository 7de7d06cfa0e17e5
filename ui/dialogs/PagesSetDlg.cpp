#include "ui/dialogs/PagesSetDlg.h"

#include <QScreen>

#include "config/Setting.h"
#include "ui/dialogs/DialogService.h"
#include "ui_PagesSetDlg.h"

namespace qm::ui {

void CentreOnScreen(QWidget& dialog) {
  if (QScreen* screen = dialog.screen())
    dialog.move(screen->availableGeometry().center() - dialog.rect().center());
}

TPagesSetDlg::TPagesSetDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TPagesSetDlg) {
  ui_->setupUi(this);
  setFixedSize(427, 300);
  connect(ui_->ButtonAddKnown, &QPushButton::clicked, this, &TPagesSetDlg::AddKnownStrings);
}

TPagesSetDlg::~TPagesSetDlg() = default;

void TPagesSetDlg::showEvent(QShowEvent* event) {
  CentreOnScreen(*this);
  QDialog::showEvent(event);
}

int TPagesSetDlg::Execute() {
  ShowSettings();
  return Dialogs().Exec(*this);
}

void TPagesSetDlg::ShowSettings() {
  ui_->CheckBoxUseSystemCookies->setChecked(UseSystemCookies);
  ui_->CheckBoxRejectStrings->setChecked(RejectStringsOn);
  QStringList lines;
  for (const std::string& s : RejectStrings.Items()) lines << QString::fromStdString(s);
  ui_->MemoCookiesUrl->setPlainText(lines.join(u'\n'));
}

QStringList TPagesSetDlg::Lines() const {
  const QString text = ui_->MemoCookiesUrl->toPlainText();
  QStringList lines = text.split(u'\n');
  // A line break at the very end starts no further line.
  if (lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void TPagesSetDlg::AddKnownStrings() {
  QStringList lines = Lines();
  bool added = false;
  for (int i = 0; i < ui_->ListBoxKnown->count(); ++i) {
    const QListWidgetItem* item = ui_->ListBoxKnown->item(i);
    if (!item->isSelected() || lines.contains(item->text(), Qt::CaseInsensitive)) continue;
    lines << item->text();
    added = true;
  }
  if (added) ui_->MemoCookiesUrl->setPlainText(lines.join(u'\n'));
}

void TPagesSetDlg::accept() {
  UseSystemCookies = ui_->CheckBoxUseSystemCookies->isChecked();
  RejectStringsOn = ui_->CheckBoxRejectStrings->isChecked();
  std::vector<std::string> items;
  for (const QString& line : Lines()) items.push_back(line.toStdString());
  RejectStrings.Assign(std::move(items));
  QDialog::accept();
}

}  // namespace qm::ui
