#pragma once
// The other settings dialog ("设置"): system cookies and the strings that make a link refused.
// Edits the program settings in memory only.
#include <QDialog>
#include <QStringList>
#include <memory>

namespace Ui {
class TPagesSetDlg;
}

namespace qm::ui {

class TPagesSetDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPagesSetDlg(QWidget* parent = nullptr);
  ~TPagesSetDlg() override;

  // Shows the current settings, then the dialog (through the dialog service); its result.
  int Execute();
  void ShowSettings();
  // "<": appends each selected known string, in list order, as a line of the text field unless a
  // line with the same text (letter case ignored) is already there.
  void AddKnownStrings();
  // The lines of the text field, as they will be stored.
  QStringList Lines() const;
  // OK: the two switches and the refused strings (the text field's lines, in order).
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TPagesSetDlg> ui_;
};

// Centres a dialog on its screen (the dialogs described as "centred on the screen").
void CentreOnScreen(QWidget& dialog);

}  // namespace qm::ui
