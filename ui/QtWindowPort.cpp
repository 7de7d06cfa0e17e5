#include "ui/QtWindowPort.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QTimer>
#include <exception>
#include <memory>

#include "task/Task.h"

namespace qm::ui {

// A caller waiting for its function to run on the GUI thread.
struct QtWindowPort::TCall {
  const std::function<void()>* Fn = nullptr;
  bool Done = false;
  std::exception_ptr Error;
};

namespace {

// The directory question between the analysis thread and the GUI thread.
struct TDirTicket {
  TTask* Task = nullptr;
  bool Answered = false;
  bool Abandoned = false;  // the asking thread gave up (window closing)
};

class TDirQuestion final : public QEvent {
 public:
  explicit TDirQuestion(std::shared_ptr<TDirTicket> ticket)
      : QEvent(static_cast<QEvent::Type>(QtWindowPort::DirQuestionEvent)),
        Ticket(std::move(ticket)) {}
  std::shared_ptr<TDirTicket> Ticket;
};

}  // namespace

struct QtWindowPort::TOp {
  enum Kind { Log, RedLog, Status, Progress, Row, RefreshRow, Call, DirQuestion } What = Log;
  std::string Text;
  int Number = 0;
  TListRowTexts RowTexts;
  TTask* Task = nullptr;
  TCall* Caller = nullptr;
  std::shared_ptr<TDirTicket> Ticket;
  // Questions and waiting callers are served at once; display updates may wait for the batch.
  bool Urgent() const { return What == Call || What == DirQuestion; }
};

QtWindowPort::QtWindowPort(TWindowSide& side, QObject* parent)
    : QObject(parent), side_(side), guiThread_(std::this_thread::get_id()) {
  batchTimer_.setSingleShot(true);
  connect(&batchTimer_, &QTimer::timeout, this, &QtWindowPort::Flush);
}

QtWindowPort::~QtWindowPort() {
  if (MainWindowPort* current = &Window(); current == this) SetWindow(nullptr);
}

// ---- any thread ----------------------------------------------------------------------------

void QtWindowPort::Enqueue(TOp op) {
  const bool urgent = op.Urgent();
  bool postFlush = false, postBatch = false;
  {
    std::lock_guard lock(lock_);
    queue_.push_back(std::move(op));
    if (urgent && !urgentPosted_) postFlush = urgentPosted_ = true;
    if (!urgent && !batchPosted_) postBatch = batchPosted_ = true;
  }
  wake_.notify_all();
  if (postFlush) QMetaObject::invokeMethod(this, &QtWindowPort::Flush, Qt::QueuedConnection);
  if (postBatch)
    QMetaObject::invokeMethod(this, &QtWindowPort::ScheduleBatch, Qt::QueuedConnection);
}

template <class F>
void QtWindowPort::Direct(F&& apply) {
  if (flushDepth_ == 0) Flush();
  apply();
  if (flushDepth_ == 0) CommitLog();
}

void QtWindowPort::AddLog(const std::string& line) {
  if (OnGuiThread()) return Direct([&] { logBatch_.emplace_back(line, false); });
  TOp op;
  op.What = TOp::Log;
  op.Text = line;
  Enqueue(std::move(op));
}

void QtWindowPort::AddRedLog(const std::string& line) {
  if (OnGuiThread()) return Direct([&] { logBatch_.emplace_back(line, true); });
  TOp op;
  op.What = TOp::RedLog;
  op.Text = line;
  Enqueue(std::move(op));
}

void QtWindowPort::SetStatusText(const std::string& text) {
  if (OnGuiThread()) return Direct([&] { pendingStatus_ = text, statusPending_ = true; });
  TOp op;
  op.What = TOp::Status;
  op.Text = text;
  Enqueue(std::move(op));
}

void QtWindowPort::SetProgress(int percent) {
  if (OnGuiThread()) return Direct([&] { side_.SetProgress(percent); });
  TOp op;
  op.What = TOp::Progress;
  op.Number = percent;
  Enqueue(std::move(op));
}

void QtWindowPort::SetListRow(int row, const TListRowTexts& texts) {
  if (OnGuiThread()) return Direct([&] { side_.SetListRow(row, texts); });
  TOp op;
  op.What = TOp::Row;
  op.Number = row;
  op.RowTexts = texts;
  Enqueue(std::move(op));
}

void QtWindowPort::RefreshTaskRow(TTask& task) {
  if (OnGuiThread()) return Direct([&] { task.RefreshListItem(); });
  TOp op;
  op.What = TOp::RefreshRow;
  op.Task = &task;
  Enqueue(std::move(op));
}

void QtWindowPort::Call(const std::function<void()>& fn) {
  if (OnGuiThread()) return Direct(fn);
  TCall call;
  call.Fn = &fn;
  TOp op;
  op.What = TOp::Call;
  op.Caller = &call;
  Enqueue(std::move(op));
  std::unique_lock lock(lock_);
  wake_.wait(lock, [&] { return call.Done; });
  if (call.Error) std::rethrow_exception(call.Error);
}

void QtWindowPort::Synchronize(const std::function<void()>& fn) {
  Call(fn);
}

void QtWindowPort::ShowMessage(const std::string& text) {
  Call([&] {
    if (!Closing()) side_.ShowMessage(text);
  });
}

bool QtWindowPort::AskOkCancel(const std::string& text, const std::string& caption) {
  bool ok = false;
  Call([&] { ok = !Closing() && side_.AskOkCancel(text, caption); });
  return ok;
}

bool QtWindowPort::EditMainSettings() {
  bool ok = false;
  Call([&] { ok = !Closing() && side_.EditMainSettings(); });
  return ok;
}

void QtWindowPort::ClearTaskList() {
  Call([&] { side_.ClearTaskList(); });
}

int QtWindowPort::AddTaskListRow() {
  int row = -1;
  Call([&] { row = side_.AddTaskListRow(); });
  return row;
}

void QtWindowPort::ShowTaskCommands(const std::string& startUrl,
                                    const TTaskCommandStates& enabled) {
  Call([&] { side_.ShowTaskCommands(startUrl, enabled); });
}

void QtWindowPort::ShowStatistics() {
  Call([&] { side_.ShowStatistics(); });
}

void QtWindowPort::AskExtraDirs(TTask& task) {
  if (OnGuiThread()) return Direct([&] { side_.ConfirmDirectories(task); });
  auto ticket = std::make_shared<TDirTicket>();
  ticket->Task = &task;
  TOp op;
  op.What = TOp::DirQuestion;
  op.Ticket = ticket;
  Enqueue(std::move(op));
  std::unique_lock lock(lock_);
  wake_.wait(lock, [&] { return ticket->Answered || closing_; });
  if (!ticket->Answered) ticket->Abandoned = true;
}

void QtWindowPort::ProcessMessages() {
  if (!OnGuiThread()) return;
  Flush();
  // Pending window work is served, but no click or key: a command cannot re-enter the one that
  // is waiting here.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool QtWindowPort::Closing() const {
  std::lock_guard lock(lock_);
  return closing_;
}

// ---- GUI thread ----------------------------------------------------------------------------

void QtWindowPort::SetClosing(bool closing) {
  {
    std::lock_guard lock(lock_);
    closing_ = closing;
  }
  wake_.notify_all();
}

void QtWindowPort::ScheduleBatch() {
  // Display updates that arrive within a few milliseconds go to the controls together.
  if (!batchTimer_.isActive()) batchTimer_.start(15);
}

void QtWindowPort::Flush() {
  std::size_t count;
  {
    std::lock_guard lock(lock_);
    urgentPosted_ = batchPosted_ = false;
    count = queue_.size();
  }
  ++flushDepth_;
  // Only what was queued when the flush began: calls that keep arriving during a long run must
  // not starve the event loop. A nested flush (a modal box shown by a call) takes the next ops
  // from the same queue, so the order is kept.
  for (std::size_t i = 0; i < count; ++i) {
    TOp op;
    {
      std::lock_guard lock(lock_);
      if (queue_.empty()) break;
      op = std::move(queue_.front());
      queue_.pop_front();
    }
    Apply(op);
  }
  CommitLog();
  --flushDepth_;
}

void QtWindowPort::Apply(TOp& op) {
  switch (op.What) {
    case TOp::Log:
      logBatch_.emplace_back(std::move(op.Text), false);
      break;
    case TOp::RedLog:
      logBatch_.emplace_back(std::move(op.Text), true);
      break;
    case TOp::Status:
      pendingStatus_ = std::move(op.Text);
      statusPending_ = true;
      break;
    case TOp::Progress:
      side_.SetProgress(op.Number);
      break;
    case TOp::Row:
      side_.SetListRow(op.Number, op.RowTexts);
      break;
    case TOp::RefreshRow:
      op.Task->RefreshListItem();
      break;
    case TOp::Call: {
      CommitLog();
      TCall& call = *op.Caller;
      try {
        (*call.Fn)();
      } catch (...) {
        call.Error = std::current_exception();
      }
      {
        std::lock_guard lock(lock_);
        call.Done = true;
      }
      wake_.notify_all();
      break;
    }
    case TOp::DirQuestion:
      // Asked from the event loop, not from inside this batch: the dialog is modal and the
      // display must go on behind it.
      CommitLog();
      QCoreApplication::postEvent(this, new TDirQuestion(std::move(op.Ticket)));
      break;
  }
}

void QtWindowPort::customEvent(QEvent* event) {
  if (event->type() != static_cast<QEvent::Type>(DirQuestionEvent)) return;
  auto ticket = static_cast<TDirQuestion*>(event)->Ticket;
  bool ask;
  {
    std::lock_guard lock(lock_);
    ask = !ticket->Abandoned && !closing_;
  }
  if (ask) side_.ConfirmDirectories(*ticket->Task);
  {
    std::lock_guard lock(lock_);
    ticket->Answered = true;
  }
  wake_.notify_all();
}

void QtWindowPort::CommitLog() {
  if (!logBatch_.empty()) {
    std::vector<TLogLine> lines;
    lines.swap(logBatch_);
    side_.AppendLog(lines);
  }
  if (statusPending_) {
    statusPending_ = false;
    side_.ShowStatus(pendingStatus_);
  }
}

void QtWindowPort::Drain(std::chrono::milliseconds wait) {
  Flush();
  {
    std::unique_lock lock(lock_);
    wake_.wait_for(lock, wait, [&] { return !queue_.empty(); });
  }
  Flush();
}

}  // namespace qm::ui
