#include "ui/dialogs/AboutDialog.h"

#include <QIcon>
#include <QStringList>

#include "platform/Version.h"
#include "ui_AboutDialog.h"

// The resources of the dialogs library; a static library must register them itself.
static void InitDialogResources() {
  Q_INIT_RESOURCE(dialogs);
}

namespace qm::ui {

std::array<int, 4> ProgramVersion() {
  std::array<int, 4> version{0, 0, 0, 0};
  const QStringList parts = QString::fromLatin1(kVersionText).split(u'.');
  for (int i = 0; i < 4 && i < parts.size(); ++i) version[i] = parts[i].toInt();
  return version;
}

QString VersionLabelText(const std::array<int, 4>& version) {
  return QStringLiteral("版本： %1.%2.%3").arg(version[0]).arg(version[1]).arg(version[3]);
}

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent), ui_(new Ui::TAboutDialog) {
  InitDialogResources();
  ui_->setupUi(this);
  setFixedSize(536, 348);
  // A title bar without buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  ui_->ProgramIcon->setPixmap(QIcon(QStringLiteral(":/dialogs/about.svg")).pixmap(160, 200));
  SetVersion(ProgramVersion());
}

TAboutDialog::~TAboutDialog() = default;

void TAboutDialog::SetVersion(const std::array<int, 4>& version) {
  ui_->LabelVersion->setText(VersionLabelText(version));
}

QString TAboutDialog::VersionText() const {
  return ui_->LabelVersion->text();
}

}  // namespace qm::ui
