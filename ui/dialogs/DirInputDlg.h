#pragma once
// The directory input dialog ("DirInputDlg") of "手动添加": one directory typed by the user.
#include <QDialog>
#include <memory>

namespace Ui {
class TDirInputDlg;
}

namespace qm::ui {

class TDirInputDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TDirInputDlg(QWidget* parent = nullptr);
  ~TDirInputDlg() override;

  void SetDir(const QString& dir);
  QString Dir() const;

 private:
  std::unique_ptr<Ui::TDirInputDlg> ui_;
};

}  // namespace qm::ui
