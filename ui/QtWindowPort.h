#pragma once
// The window interface of the engine on the Qt GUI thread. One rule: every call's effect runs on
// the GUI thread, in the order the calls were made. Calls that need no answer (log lines, status,
// progress, list rows) are queued without waiting and applied in batches, so a run is never
// slowed by its display; calls that need an answer wait for the GUI thread, and the directory
// question gives up when the window closes.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "task/MainWindowPort.h"
#include "ui/WindowSide.h"

namespace qm::ui {

class QtWindowPort final : public QObject, public MainWindowPort {
  Q_OBJECT
 public:
  // The event type of the directory question: the user message base 1024 + 2321.
  static constexpr int DirQuestionEvent = 3345;

  // Created on the GUI thread; `side` outlives the port.
  explicit QtWindowPort(TWindowSide& side, QObject* parent = nullptr);
  ~QtWindowPort() override;

  void AddLog(const std::string& line) override;
  void AddRedLog(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(int percent) override;
  void SetListRow(int row, const TListRowTexts& texts) override;
  void ShowMessage(const std::string& text) override;
  void AskExtraDirs(TTask& task) override;
  void Synchronize(const std::function<void()>& fn) override;
  void RefreshTaskRow(TTask& task) override;
  void ClearTaskList() override;
  int AddTaskListRow() override;
  void ShowTaskCommands(const std::string& startUrl, const TTaskCommandStates& enabled) override;
  void ShowStatistics() override;
  void ProcessMessages() override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  bool EditMainSettings() override;

  // GUI thread: applies everything queued so far.
  void Flush();
  // GUI thread, while the window closes: applies what is queued, else waits up to `wait` for
  // the next call of another thread.
  void Drain(std::chrono::milliseconds wait);
  // GUI thread: while closing, questions are not asked (a message box is dropped, the directory
  // question keeps the task's choice, OK/Cancel answers Cancel); waiting questions give up.
  void SetClosing(bool closing);
  bool Closing() const;
  bool OnGuiThread() const { return std::this_thread::get_id() == guiThread_; }

 protected:
  void customEvent(QEvent* event) override;

 private slots:
  void ScheduleBatch();

 private:
  struct TCall;
  struct TOp;
  void Enqueue(TOp op);
  void Apply(TOp& op);
  void CommitLog();
  // Runs fn on the GUI thread: at once when called there, else queued while the caller waits.
  void Call(const std::function<void()>& fn);
  // A call from the GUI thread itself: what was requested before it is applied first.
  template <class F>
  void Direct(F&& apply);

  TWindowSide& side_;
  const std::thread::id guiThread_;
  mutable std::mutex lock_;
  std::condition_variable wake_;  // a call was queued (Drain) or answered (waiting callers)
  std::deque<TOp> queue_;
  bool urgentPosted_ = false;  // a flush is posted for a waiting caller
  bool batchPosted_ = false;   // the batch timer is being started
  bool closing_ = false;
  // GUI thread only:
  QTimer batchTimer_;
  int flushDepth_ = 0;
  std::vector<TLogLine> logBatch_;
  std::string pendingStatus_;
  bool statusPending_ = false;
};

}  // namespace qm::ui
