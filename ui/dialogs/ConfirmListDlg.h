#pragma once
// The update list dialog ("ConfirmListDlg"): the files an online update offers, with a tick each,
// and the transfer display of its HTTP client. What fills the list and what the answer starts
// belong to the online update.
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>

namespace Ui {
class TConfirmListDlg;
}

class QProgressBar;
class QTreeWidget;

namespace qm {
class THttpClient;
}

namespace qm::ui {

class TConfirmListDlg : public QDialog {
  Q_OBJECT
 public:
  // The answer of "以后再说"; "升级" answers QDialog::Accepted.
  static constexpr int Ignore = 5;
  static constexpr std::string_view kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

  explicit TConfirmListDlg(QWidget* parent = nullptr);
  ~TConfirmListDlg() override;

  // The list (report view, a tick box per row): "更新的文件", "文件大小", "版本", "日期", "文件名".
  QTreeWidget& List() const;
  QProgressBar& ProgressBar() const;
  // The dialog's client (receive buffer 1024 bytes), its transfer events bound to the hooks
  // below. Used on one thread at a time, as every client.
  THttpClient& HttpClient() const { return *client_; }

  // The transfer hooks. They may run on the client's thread: the window's status text and
  // progress go through the window interface, this dialog's bar is moved on its own thread.
  // Start with the expected size (0 or less when not announced).
  void WorkBegin(std::int64_t expected);
  void Work(std::int64_t count);
  void WorkEnd();

 private:
  void SetBar(std::int64_t maximum, std::int64_t value);

  std::unique_ptr<Ui::TConfirmListDlg> ui_;
  QProgressBar* bar_ = nullptr;
  std::unique_ptr<THttpClient> client_;
  std::atomic<std::int64_t> expected_{100};  // the bar's maximum, as the hooks read it
};

}  // namespace qm::ui
