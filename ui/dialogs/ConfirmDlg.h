#pragma once
// The new-task dialog ("新建任务"): the user confirms the start URL, names the task and chooses its
// task file. The window fills the three fields, shows it and, after OK, reads them back.
#include <QDialog>
#include <memory>

#include "ui/dialogs/TitleFetch.h"

namespace Ui {
class TConfirmDlg;
}

namespace qm::ui {

class TConfirmDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TConfirmDlg(QWidget* parent = nullptr);
  ~TConfirmDlg() override;

  // The fields. The file field holds the task file's full path in the program's form ("\").
  void SetUrl(const QString& url);
  void SetProjName(const QString& name);
  void SetFilename(const QString& fileName);
  QString Url() const;
  QString ProjName() const;
  QString Filename() const;

  // "获取网页标题" and ". . .", also for tests.
  void FetchTitle();
  void ChooseFile();
  TTitleFetcher& TitleFetcher() { return fetcher_; }

  // OK: the button pressed decides StartAtOnce ("新建并立即下载" true, "新建" false); a plain
  // accept() (Enter) counts as the default button "新建并立即下载".
  void accept() override;
  void reject() override;

 private:
  void OnNameChanged(const QString& name);

  std::unique_ptr<Ui::TConfirmDlg> ui_;
  TTitleFetcher fetcher_;
  bool startAtOnce_ = true;
};

}  // namespace qm::ui
