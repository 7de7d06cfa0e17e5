#pragma once
// Helpers shared by the dialog tests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <string>

namespace qm::ui::test {

// A control of a dialog found by its objectName; fails the test when it is missing.
template <typename T>
T* Control(QWidget& dialog, const char* name) {
  T* control = dialog.findChild<T*>(QString::fromLatin1(name));
  if (!control) qFatal("no control %s in %s", name, qPrintable(dialog.objectName()));
  return control;
}

// The button of `dialog` whose text is `text`; fails the test when there is none.
inline QAbstractButton* ButtonWithText(QWidget& dialog, const QString& text) {
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
    if (button->text() == text) return button;
  qFatal("no button '%s' in %s", qPrintable(text), qPrintable(dialog.objectName()));
}

// Clicks a dialog's button and hands back the dialog's result, as a scripted answer does.
inline int Click(QDialog& dialog, const QString& buttonText) {
  dialog.setResult(-1);
  ButtonWithText(dialog, buttonText)->click();
  return dialog.result();
}

// A server on 127.0.0.1 that lets clients connect (the kernel completes the handshake) but never
// reads or answers: a request to it waits for ever.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      qFatal("silent server: no socket");
    port_ = ntohs(addr.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound, then closed again).
inline std::string UnreachableUrl() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/";
}

}  // namespace qm::ui::test
