#pragma once
// The "获取网页标题" button of the task dialogs: fetches the page at the URL field and proposes its
// title as the task name. The request runs on a thread of its own while the dialog waits in a
// local event loop, so the window keeps answering; a server that never answers is given up after
// a limit instead of freezing the window.
#include <QObject>
#include <QString>
#include <atomic>
#include <string>

class QLineEdit;
class QWidget;

namespace qm {
class THttpClient;
}

namespace qm::ui {

struct TTitleFetchResult {
  enum Kind { Title, NoTitle, Failed, Cancelled };
  Kind Outcome = Failed;
  QString Text;  // the trimmed title when Outcome is Title
};

class TTitleFetcher : public QObject {
  Q_OBJECT
 public:
  static constexpr int kDefaultLimitMs = 30000;
  static constexpr std::string_view kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

  explicit TTitleFetcher(QObject* parent = nullptr) : QObject(parent) {}

  // How long a fetch may take before it counts as failed.
  void SetLimitMs(int limitMs) { limitMs_ = limitMs; }
  int LimitMs() const { return limitMs_; }
  bool Busy() const { return busy_; }

  // GETs `url` (redirects followed) and takes the text between the first "<title>" and the first
  // "</title>", letter case ignored. Returns once the request ended, failed, passed the limit or
  // was cancelled; events are processed meanwhile. A second call while one runs is refused
  // (Cancelled).
  TTitleFetchResult Fetch(const std::string& url);
  // Ends a fetch in progress (the dialog closed): it returns Cancelled.
  void Cancel();

  // The button's whole action: fetch the page of `urlField` and put its title into `nameField`,
  // or tell the user why not ("该网页标题不存在" / "该网页不存在").
  void FetchInto(QWidget* dialog, const QLineEdit& urlField, QLineEdit& nameField);

 private:
  int limitMs_ = kDefaultLimitMs;
  bool busy_ = false;
  bool cancelled_ = false;
  THttpClient* client_ = nullptr;  // the client of the fetch in progress
};

}  // namespace qm::ui
