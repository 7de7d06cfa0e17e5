#include "ui/dialogs/DialogService.h"

#include <QApplication>
#include <QFileDialog>

namespace qm::ui {
namespace {

QString CaptionOrProgramName(const QString& caption) {
  return caption.isEmpty() ? QApplication::applicationName() : caption;
}

class QtDialogService final : public DialogService {
 public:
  QMessageBox::StandardButton Message(QWidget* parent, const QString& text, const QString& caption,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::Icon icon) override {
    QMessageBox box(icon, CaptionOrProgramName(caption), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
  int Exec(QDialog& dialog) override { return dialog.exec(); }
  QString SaveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                       const QString& filter) override {
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter);
  }
  QString OpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                       const QString& filter) override {
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
  }
};

DialogService* installed = nullptr;

}  // namespace

void DialogService::Info(QWidget* parent, const QString& text, const QString& caption) {
  Message(parent, text, caption, QMessageBox::Ok, QMessageBox::Information);
}

bool DialogService::OkCancel(QWidget* parent, const QString& text, const QString& caption) {
  return Message(parent, text, caption, QMessageBox::Ok | QMessageBox::Cancel,
                 QMessageBox::Question) == QMessageBox::Ok;
}

QMessageBox::StandardButton DialogService::YesNoCancel(QWidget* parent, const QString& text,
                                                       const QString& caption) {
  return Message(parent, text, caption, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                 QMessageBox::Question);
}

void DialogService::Error(QWidget* parent, const QString& text, const QString& caption) {
  Message(parent, text, caption, QMessageBox::Ok, QMessageBox::Critical);
}

DialogService& Dialogs() {
  static QtDialogService qt;
  return installed ? *installed : qt;
}

void SetDialogs(DialogService* service) {
  installed = service;
}

}  // namespace qm::ui
