#include "ui/WindowDialogs.h"

#include "ui/dialogs/DialogService.h"

namespace qm::ui {

void NotAvailableYet(QWidget* parent, const QString& what) {
  Dialogs().Info(parent, QStringLiteral("“%1”尚未提供。").arg(what), what);
}

namespace {

// Until the dialog classes are in place each flow that needs one says so and goes no further.
class TDialogClasses final : public TWindowDialogs {
 public:
  bool NewTask(QWidget* parent, TNewTaskFields&) override {
    NotAvailableYet(parent, QStringLiteral("新建任务"));
    return false;
  }
  bool MainSettings(QWidget* parent) override {
    NotAvailableYet(parent, QStringLiteral("主要设置"));
    return false;
  }
  bool NewCategory(QWidget* parent, QString&) override {
    NotAvailableYet(parent, QStringLiteral("新建类别"));
    return false;
  }
  bool ConfirmDirectories(QWidget*, TTask&, std::vector<TDirChoice>&) override { return false; }
};

}  // namespace

TWindowDialogs& ProgramDialogs() {
  static TDialogClasses dialogs;
  return dialogs;
}

}  // namespace qm::ui
