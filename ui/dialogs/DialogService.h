#pragma once
#include <QDialog>
#include <QMessageBox>
#include <QString>

class QWidget;

namespace qm::ui {

// The one place where the window and the dialogs become modal: message boxes, file choosers and
// showing a dialog. The program uses the Qt implementation; tests install a scripted one that
// answers without ever blocking.
class DialogService {
 public:
  virtual ~DialogService() = default;

  // A message box with the given buttons; returns the button pressed (Ok, Cancel, Yes, No...).
  virtual QMessageBox::StandardButton Message(QWidget* parent, const QString& text,
                                              const QString& caption,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::Icon icon) = 0;
  // Shows a dialog modally; returns QDialog::Accepted or QDialog::Rejected. The dialog's own OK
  // logic (accept()) runs as with a user's click.
  virtual int Exec(QDialog& dialog) = 0;
  // File choosers: the chosen full path, empty when cancelled.
  virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                               const QString& filter) = 0;
  virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                               const QString& filter) = 0;

  // Shorthands for the message boxes the program shows.
  void Info(QWidget* parent, const QString& text, const QString& caption = QString());
  bool OkCancel(QWidget* parent, const QString& text, const QString& caption);
  QMessageBox::StandardButton YesNoCancel(QWidget* parent, const QString& text,
                                          const QString& caption);
  void Error(QWidget* parent, const QString& text, const QString& caption = QString());
};

// The service in use: the Qt one unless a test installed another (nullptr restores the Qt one).
DialogService& Dialogs();
void SetDialogs(DialogService* service);

}  // namespace qm::ui
