#pragma once
// The about dialog ("Quill Moss"): product name, tagline, author, description, picture and the
// program's version.
#include <QDialog>
#include <array>
#include <memory>

namespace Ui {
class TAboutDialog;
}

namespace qm::ui {

// The program's version as four numbers a.b.c.d (missing parts 0).
std::array<int, 4> ProgramVersion();
// The version label: "版本： " + a.b.d (the third number is left out).
QString VersionLabelText(const std::array<int, 4>& version);

class TAboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutDialog(QWidget* parent = nullptr);
  ~TAboutDialog() override;

  // Sets the version label (the program's own version on creation).
  void SetVersion(const std::array<int, 4>& version);
  QString VersionText() const;

 private:
  std::unique_ptr<Ui::TAboutDialog> ui_;
};

}  // namespace qm::ui
