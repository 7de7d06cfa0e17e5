#include "update/ui/OnlineUpdate.h"

#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <exception>
#include <stdexcept>
#include <thread>

#include "config/Setting.h"
#include "platform/ConfigPaths.h"
#include "ui/dialogs/DialogService.h"
#include "update/SelfReplace.h"
#include "update/UpdateList.h"

namespace qm::ui {
namespace {

QString Text(const std::string& bytes) {
  return QString::fromUtf8(bytes);
}

std::string ExecutableFolder() {
  const std::string exe = ExecutablePath();
  return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

TOnlineUpdate::TOnlineUpdate(QAction& menuItem, TUpdateWindow& window, TUpdateListDialog& dialog)
    : Folder(ExecutableFolder()),
      ProgramName(ProgramNameOf(ExecutablePath())),
      Servers(ConfiguredUpdateServers(SettingsFile())),
      menuItem_(menuItem),
      window_(window),
      dialog_(dialog) {
  StartReplacement = [this] { return StartSelfReplace(Folder, ::getpid()); };
}

void TOnlineUpdate::RunOffGuiThread(const std::function<void()>& step) {
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      step();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Only the user's input is held back: the window repaints, its timers and the progress the
  // client's hooks post keep running.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

void TOnlineUpdate::Finish(const QString& status, const QString& message, bool enableCommand) {
  window_.ShowStatus(status);
  Dialogs().Info(window_.DialogParent(), message);
  if (enableCommand) menuItem_.setEnabled(true);
}

void TOnlineUpdate::N22Click() {
  try {
    Run();
  } catch (const std::exception& e) {
    // As the application's default handler would: the error shown, the command left disabled.
    Dialogs().Error(window_.DialogParent(), Text(e.what()));
  }
}

void TOnlineUpdate::Run() {
  // 1.
  menuItem_.setEnabled(false);
  int count = 0;
  const QString checking = QStringLiteral("正在检查升级信息，请稍侯...");
  window_.ShowStatus(checking);
  THttpClient& client = dialog_.Client();
  ConfigureUpdateClient(client, Limits);
  // 2. The proxy.
  client.Proxy.clear();
  const TProxySetting proxy = ProxyFromEnvironment();
  if (proxy.Enabled) {
    window_.ShowStatus(checking + QStringLiteral("代理服务器是") + Text(proxy.Server));
    ApplyProxy(client, proxy.Server);
  }
  // 3. The list, from the second server when the first fails.
  std::string listText;
  bool fetched = false;
  RunOffGuiThread([&] { fetched = FetchUpdateList(client, Servers, listText); });
  if (!fetched) {
    window_.ShowStatus(QStringLiteral("升级网站不通"));
    Dialogs().Info(window_.DialogParent(), QStringLiteral("升级网站不通或未找到升级信息文件"));
    menuItem_.setEnabled(true);
    return;
  }
  // 4. and 5.
  if (BuildUpdateList(listText, ProgramName, Folder)) {
    for (TUpdateList& item : UpdateItems) {
      if (!item.IsNewer) continue;
      bool offered = false;
      RunOffGuiThread([&] { offered = HeadUpdateItem(client, item); });
      if (offered) ++count;
    }
  }
  // 6.
  dialog_.ClearRows();
  for (const TUpdateList& item : UpdateItems) {
    if (!item.IsNewer) continue;
    dialog_.AddRow({Text(item.Description), QString::number(item.ContentSize),
                    Text(FormatVersion(item.RemoteInfo.StampVersion)),
                    Text(FormatListDate(item.RemoteInfo.StampDate)), Text(item.ItemName)});
  }
  // 7. The command stays disabled until the program starts again.
  if (count == 0) {
    Finish(QStringLiteral("已是最新版本，无需升级。"), QStringLiteral("已是最新版本，无需升级。"),
           false);
    return;
  }
  // 8.
  if (Dialogs().Exec(dialog_.Dialog()) != QDialog::Accepted) {
    menuItem_.setEnabled(true);
    return;
  }
  window_.ShowTransferProgress();
  client.FollowRedirects = true;
  int downloads = 0;
  int row = 0;
  for (TUpdateList& item : UpdateItems) {
    if (!item.IsNewer) continue;
    if (dialog_.RowTicked(row++)) {
      RunOffGuiThread([&] { DownloadUpdateItem(client, item, Folder); });
      ++downloads;
    }
  }
  client.FollowRedirects = false;
  // 9.
  if (downloads == 0) {
    Finish(QStringLiteral("没有下载文件"), QStringLiteral("没有下载文件"), true);
    return;
  }
  // 10.
  const QString done = QStringLiteral("下载完毕，如果成功的话，将在退出后自动启动新程序。");
  window_.ShowStatus(done);
  Dialogs().Info(window_.DialogParent(), done, QStringLiteral("升级成功！"));
  WriteSelfReplaceBatch(Folder);
  // Without the interpreter nothing would put the files in place: the program stays open.
  if (!StartReplacement())
    throw std::runtime_error("Cannot start " + Folder + std::string(kSelfUpdateProgram));
  window_.Terminate();
}

}  // namespace qm::ui
