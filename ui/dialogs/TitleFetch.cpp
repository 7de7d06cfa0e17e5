#include "ui/dialogs/TitleFetch.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <memory>
#include <thread>

#include "engine/HttpClient.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/DialogSupport.h"
#include "url/UrlLib.h"

namespace qm::ui {
namespace {

// What the request thread hands back. Written by that thread before it posts its end; read on
// the GUI thread after joining it.
struct TFetchState {
  std::string body;
  bool failed = false;
  // GUI thread only.
  bool done = false;
  QEventLoop* loop = nullptr;
};

}  // namespace

TTitleFetchResult TTitleFetcher::Fetch(const std::string& url) {
  if (busy_) return {TTitleFetchResult::Cancelled, {}};
  busy_ = true;
  cancelled_ = false;

  THttpClient client;
  client.FollowRedirects = true;
  client.RecvBufferSize = 10240;
  client.SendBufferSize = 10240;
  client.UserAgent = std::string(kUserAgent);
  client_ = &client;

  auto state = std::make_shared<TFetchState>();
  std::thread request([&client, state, url, context = this] {
    try {
      client.Get(url, state->body);
    } catch (const std::exception&) {
      state->failed = true;
    }
    // Queued to the GUI thread; `context` outlives this call because Fetch joins the thread.
    QMetaObject::invokeMethod(
        context,
        [state] {
          state->done = true;
          if (state->loop) state->loop->quit();
        },
        Qt::QueuedConnection);
  });

  bool timedOut = false;
  QTimer limit;
  limit.setSingleShot(true);
  connect(&limit, &QTimer::timeout, this, [&] {
    timedOut = true;
    client.Abort();
  });
  limit.start(limitMs_);

  // The request ends soon after an abort, so this loop always ends.
  QEventLoop loop;
  state->loop = &loop;
  while (!state->done) loop.exec();
  state->loop = nullptr;
  limit.stop();
  request.join();
  client_ = nullptr;
  busy_ = false;

  if (cancelled_) return {TTitleFetchResult::Cancelled, {}};
  if (timedOut || state->failed) return {TTitleFetchResult::Failed, {}};
  const std::string title(TrimBlanks(TextBetween(state->body, "<TITLE>", "</TITLE>")));
  if (title.empty()) return {TTitleFetchResult::NoTitle, {}};
  return {TTitleFetchResult::Title, PageText(title)};
}

void TTitleFetcher::Cancel() {
  if (!busy_) return;
  cancelled_ = true;
  client_->Abort();
}

void TTitleFetcher::FetchInto(QWidget* dialog, const QLineEdit& urlField, QLineEdit& nameField) {
  const TTitleFetchResult result = Fetch(urlField.text().toStdString());
  switch (result.Outcome) {
    case TTitleFetchResult::Title:
      nameField.setText(result.Text);
      break;
    case TTitleFetchResult::NoTitle:
      Dialogs().Info(dialog, QStringLiteral("该网页标题不存在"), QStringLiteral("下载成功"));
      break;
    case TTitleFetchResult::Failed:
      Dialogs().Info(dialog, QStringLiteral("该网页不存在"), QStringLiteral("下载失败"));
      break;
    case TTitleFetchResult::Cancelled:
      break;
  }
}

}  // namespace qm::ui
