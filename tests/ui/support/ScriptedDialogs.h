#pragma once
#include <QStringList>
#include <deque>
#include <functional>
#include <stdexcept>

#include "ui/dialogs/DialogService.h"

namespace qm::ui::test {

// A dialog service that answers from a script and records what was asked. An unexpected question
// (nothing scripted) fails loudly instead of blocking the test. Installs itself while alive.
class ScriptedDialogs final : public DialogService {
 public:
  struct Asked {
    QString text, caption;
    QMessageBox::StandardButtons buttons;
  };
  // Fills the dialog's fields as a user would and returns its result, typically by clicking one
  // of its buttons and returning dialog.result().
  using DialogAnswer = std::function<int(QDialog&)>;

  ScriptedDialogs() { SetDialogs(this); }
  ~ScriptedDialogs() override { SetDialogs(nullptr); }

  void AnswerMessage(QMessageBox::StandardButton button) { messageAnswers.push_back(button); }
  void AnswerDialog(DialogAnswer answer) { dialogAnswers.push_back(std::move(answer)); }
  void AnswerFile(const QString& path) { fileAnswers.push_back(path); }

  QMessageBox::StandardButton Message(QWidget*, const QString& text, const QString& caption,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::Icon) override {
    asked.push_back({text, caption, buttons});
    if (messageAnswers.empty()) {
      // An information box needs no scripted answer: it can only be acknowledged.
      if (buttons == QMessageBox::Ok) return QMessageBox::Ok;
      throw std::logic_error("unscripted question: " + text.toStdString());
    }
    auto answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
  }
  int Exec(QDialog& dialog) override {
    shownDialogs << dialog.objectName();
    if (dialogAnswers.empty())
      throw std::logic_error("unscripted dialog: " + dialog.objectName().toStdString());
    auto answer = std::move(dialogAnswers.front());
    dialogAnswers.pop_front();
    return answer(dialog);
  }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return NextFile();
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return NextFile();
  }

  std::vector<Asked> asked;
  QStringList shownDialogs;
  std::deque<QMessageBox::StandardButton> messageAnswers;
  std::deque<DialogAnswer> dialogAnswers;
  std::deque<QString> fileAnswers;

 private:
  QString NextFile() {
    if (fileAnswers.empty()) return QString();
    QString path = fileAnswers.front();
    fileAnswers.pop_front();
    return path;
  }
};

}  // namespace qm::ui::test
