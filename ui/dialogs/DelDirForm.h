#pragma once
// The delete-directory window ("删除目录", not modal): a folder tree of the file system and a
// recursive delete of the folder in the path field. The delete runs on the GUI thread and lets
// the window process its events after each removed entry, which is how "终止" and "关闭" reach it.
// It never follows a symbolic link (a link is removed as a link) and refuses "/" and the user's
// home folder themselves.
#include <QWidget>
#include <memory>
#include <string>

namespace Ui {
class TDelDirForm;
}

class QFileSystemModel;

namespace qm {
class TTask;
}

namespace qm::ui {

class TDelDirForm : public QWidget {
  Q_OBJECT
 public:
  explicit TDelDirForm(QWidget* parent = nullptr);
  ~TDelDirForm() override;

  // Shows the window rooted at the task's folder, or the program's directory without a task.
  void ShowFor(const TTask* currentTask);
  // The folder tree's root (a file-system path).
  void SetRootFolder(const QString& folder);
  QString RootFolder() const { return root_; }

  void SetPath(const QString& path);
  QString Path() const;

  // "删除": asks "将删除目录." + the path ("Look", OK/Cancel), then deletes it and refreshes the
  // tree.
  void DeleteClicked();
  // Deletes the folder at `path` and everything below it. Returns true when the folder is gone.
  bool DeleteTree(const QString& path);
  // "终止"; "关闭" also closes the window.
  void RequestStop() { stop_ = true; }
  bool Deleting() const { return deleting_; }

  // The result lines ("RemoveDir <folder> ok" / " fail").
  QStringList ResultLines() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DeleteDirectory(const std::string& dir);
  void RefreshTree();
  void ShowDeleted(const std::string& path);

  std::unique_ptr<Ui::TDelDirForm> ui_;
  QFileSystemModel* model_ = nullptr;
  QString root_;
  bool stop_ = false;
  bool deleting_ = false;
};

}  // namespace qm::ui
