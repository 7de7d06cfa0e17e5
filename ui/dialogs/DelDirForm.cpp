#include "ui/dialogs/DelDirForm.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <vector>

#include "task/Task.h"
#include "ui/dialogs/DialogService.h"
#include "ui_DelDirForm.h"
#include "url/UrlLib.h"

namespace qm::ui {
namespace {

std::string FsName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}
QString ShownName(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// The entries of a folder in enumeration order, without "." and ".."; false when it cannot be
// listed. The listing is read whole before anything is removed from it.
bool ListEntries(const std::string& dir, std::vector<std::string>& names) {
  DIR* handle = ::opendir(dir.c_str());
  if (!handle) return false;
  while (const dirent* entry = ::readdir(handle)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(handle);
  return true;
}

}  // namespace

TDelDirForm::TDelDirForm(QWidget* parent) : QWidget(parent, Qt::Window), ui_(new Ui::TDelDirForm) {
  ui_->setupUi(this);
  connect(ui_->ButtonDelete, &QPushButton::clicked, this, &TDelDirForm::DeleteClicked);
  connect(ui_->ButtonStop, &QPushButton::clicked, this, &TDelDirForm::RequestStop);
  connect(ui_->ButtonClose, &QPushButton::clicked, this, [this] {
    RequestStop();
    close();
  });
  // A delete in progress ends when the main window closes.
  if (parent) parent->installEventFilter(this);
  SetRootFolder(QCoreApplication::applicationDirPath());
}

TDelDirForm::~TDelDirForm() = default;

void TDelDirForm::ShowFor(const TTask* currentTask) {
  QString root = QCoreApplication::applicationDirPath();
  if (currentTask && !currentTask->Folder.empty())
    root = QString::fromStdString(NativePath(currentTask->Folder));
  SetRootFolder(root);
  show();
  raise();
  activateWindow();
}

void TDelDirForm::SetRootFolder(const QString& folder) {
  root_ = folder;
  RefreshTree();
}

void TDelDirForm::RefreshTree() {
  // A fresh model reads the folders again; the tree is not refreshed on its own.
  auto* model = new QFileSystemModel(this);
  model->setOption(QFileSystemModel::DontWatchForChanges, true);
  model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  model->setRootPath(root_);
  ui_->ShellTreeView1->setModel(model);
  for (int column = 1; column < model->columnCount(); ++column)
    ui_->ShellTreeView1->hideColumn(column);
  ui_->ShellTreeView1->setRootIndex(model->index(root_));
  connect(ui_->ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this, model](const QModelIndex& current) {
            if (current.isValid()) ui_->EditDirName->setText(model->filePath(current));
          });
  if (model_) model_->deleteLater();
  model_ = model;
}

void TDelDirForm::SetPath(const QString& path) {
  ui_->EditDirName->setText(path);
}
QString TDelDirForm::Path() const {
  return ui_->EditDirName->text();
}

QStringList TDelDirForm::ResultLines() const {
  QStringList lines = ui_->Memo1->toPlainText().split(u'\n');
  lines.removeAll(QString());
  return lines;
}

bool TDelDirForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Close) RequestStop();
  return QWidget::eventFilter(watched, event);
}

void TDelDirForm::closeEvent(QCloseEvent* event) {
  RequestStop();
  QWidget::closeEvent(event);
}

void TDelDirForm::DeleteClicked() {
  if (deleting_) return;
  const QString path = Path();
  if (!Dialogs().OkCancel(this, QStringLiteral("将删除目录.") + path, QStringLiteral("Look")))
    return;
  stop_ = false;
  DeleteTree(path);
  RefreshTree();
}

bool TDelDirForm::DeleteTree(const QString& path) {
  QString folder = path;
  while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
  const QFileInfo info(folder);
  if (folder.isEmpty() || (!info.exists() && !info.isSymLink())) return false;

  const std::string target = FsName(folder);
  if (info.isSymLink()) {
    // The chosen folder is itself a link: the link goes, what it points to stays.
    if (::unlink(target.c_str()) != 0) return false;
    ShowDeleted(target);
    return true;
  }
  const QString canonical = info.canonicalFilePath();
  if (canonical == QStringLiteral("/") ||
      canonical == QFileInfo(QDir::homePath()).canonicalFilePath()) {
    Dialogs().Error(this, QStringLiteral("不能删除此目录：") + folder);
    return false;
  }

  deleting_ = true;
  ui_->ButtonDelete->setEnabled(false);
  DeleteDirectory(target);
  ui_->ButtonDelete->setEnabled(true);
  deleting_ = false;
  return !QFileInfo::exists(folder);
}

void TDelDirForm::ShowDeleted(const std::string& path) {
  ui_->StatusBar1->showMessage(QStringLiteral("已删除") + ShownName(path));
  QCoreApplication::processEvents();
}

void TDelDirForm::DeleteDirectory(const std::string& dir) {
  struct stat st {};
  // A folder without write or search permission for its owner is opened up, as a read-only
  // file is, so that its entries can go.
  if (::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_IRWXU) != S_IRWXU)
    ::chmod(dir.c_str(), st.st_mode | S_IRWXU);
  std::vector<std::string> names;
  if (!ListEntries(dir, names)) return;
  for (const std::string& name : names) {
    if (stop_) return;
    const std::string path = dir + "/" + name;
    if (::lstat(path.c_str(), &st) != 0) continue;
    // lstat: a symbolic link is never a folder here, so it is removed as a link below.
    if (S_ISDIR(st.st_mode)) {
      DeleteDirectory(path);
      continue;
    }
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
      ::chmod(path.c_str(), st.st_mode | S_IWUSR);
    if (::unlink(path.c_str()) == 0) ShowDeleted(path);
  }
  // A stop inside a sub-folder ends its parents too, without trying to remove them.
  if (stop_) return;
  const bool removed = ::rmdir(dir.c_str()) == 0;
  ui_->Memo1->appendPlainText(QStringLiteral("RemoveDir ") + ShownName(dir) +
                              (removed ? QStringLiteral(" ok") : QStringLiteral(" fail")));
  QCoreApplication::processEvents();
}

}  // namespace qm::ui
