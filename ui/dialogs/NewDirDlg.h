#pragma once
// The new-category dialog ("新建类别"): the name of a new category. The field keeps the last text
// typed between uses.
#include <QDialog>
#include <memory>

namespace Ui {
class TNewDirDlg;
}

namespace qm::ui {

class TNewDirDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TNewDirDlg(QWidget* parent = nullptr);
  ~TNewDirDlg() override;

  QString Name() const;  // the text of Edit1
  void SetName(const QString& name);

 private:
  std::unique_ptr<Ui::TNewDirDlg> ui_;
};

}  // namespace qm::ui
