#pragma once
// A main window for tests: its files in a temporary folder, its dialogs and message boxes
// answered from scripts, no pauses in runs, and the addresses it opens recorded.
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>

#include "engine/RunSupervisor.h"
#include "manager/TaskManager.h"
#include "platform/Pacing.h"
#include "support/ScriptedDialogs.h"
#include "task/Task.h"
#include "ui/MainWindow.h"
#include "ui/QtWindowPort.h"
#include "ui/WindowDialogs.h"
#include "ui_MainWindow.h"

namespace qm::ui::test {

// The window's dialogs answered by functions queued in the test; an unexpected dialog fails.
class ScriptedWindowDialogs final : public TWindowDialogs {
 public:
  std::deque<std::function<bool(TNewTaskFields&)>> NewTaskAnswers;
  std::deque<bool> MainSettingsAnswers;
  std::deque<QString> CategoryAnswers;  // an empty name means Cancel
  std::function<bool(TTask&, std::vector<TDirChoice>&)> DirAnswer;
  int DirQuestions = 0;

  bool NewTask(QWidget*, TNewTaskFields& fields) override {
    if (NewTaskAnswers.empty()) throw std::logic_error("unscripted new-task dialog");
    auto answer = std::move(NewTaskAnswers.front());
    NewTaskAnswers.pop_front();
    return answer(fields);
  }
  bool MainSettings(QWidget*) override {
    if (MainSettingsAnswers.empty()) throw std::logic_error("unscripted settings dialog");
    const bool ok = MainSettingsAnswers.front();
    MainSettingsAnswers.pop_front();
    return ok;
  }
  bool NewCategory(QWidget*, QString& name) override {
    if (CategoryAnswers.empty()) throw std::logic_error("unscripted new-category dialog");
    name = CategoryAnswers.front();
    CategoryAnswers.pop_front();
    return !name.isEmpty();
  }
  bool ConfirmDirectories(QWidget*, TTask& task, std::vector<TDirChoice>& dirs) override {
    ++DirQuestions;
    return DirAnswer ? DirAnswer(task, dirs) : false;
  }
};

// The new-task dialog confirmed as proposed, with one of its two OK buttons.
inline std::function<bool(TNewTaskFields&)> AcceptNewTask(bool startAtOnce) {
  return [startAtOnce](TNewTaskFields&) {
    StartAtOnce = startAtOnce;
    return true;
  };
}

class WindowFixture {
 public:
  // `programDialogs`: the window opens its real dialogs (answered through `messages`).
  explicit WindowFixture(bool programDialogs = false) {
    SetPacingFactor(0);
    dir = std::make_unique<QTemporaryDir>();
    TWindowOptions options;
    options.DirFile = Path("Dir.ini");
    options.SettingsFile = Path("quillmoss.ini");
    options.WebsitesParent = ProgramPath(dir->path()) + "\\";
    if (!programDialogs) options.Dialogs = &dialogs;
    form = std::make_unique<TForm1>(options);
    form->OpenUrl = [this](const QUrl& url) { opened.push_back(url); };
  }
  ~WindowFixture() {
    form.reset();
    StartAtOnce = false;
  }

  std::string Path(const QString& name) const { return (dir->path() + "/" + name).toStdString(); }
  static std::string ProgramPath(const QString& native) {
    std::string p = native.toStdString();
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  Ui::TForm1& ui() { return form->Controls(); }
  TDir& tree() { return form->Dir(); }
  TTaskManager& manager() { return form->Manager(); }
  // The questions and messages asked so far, as "caption|text".
  QStringList Asked() const {
    QStringList list;
    for (const auto& a : messages.asked) list << a.caption + "|" + a.text;
    return list;
  }
  // A task item below `parent` without a task file.
  std::int32_t AddTaskNode(std::int32_t parent, const std::string& name,
                           const std::string& url = "http://127.0.0.1:1/") {
    TDirItem item;
    item.Name = name;
    item.Type = ItemTask;
    item.Path = ProgramPath(dir->path()) + "\\";
    item.FileName = name + ".web";
    item.StartURL = url;
    const std::int32_t index = tree().AddItem(parent, item);
    tree().FillView();
    return index;
  }
  std::int32_t AddCategory(std::int32_t parent, const std::string& name) {
    TDirItem item;
    item.Name = name;
    const std::int32_t index = tree().AddItem(parent, item);
    tree().FillView();
    return index;
  }
  QTreeWidgetItem* NodeOf(std::int32_t item) {
    return static_cast<QTreeWidgetItem*>(tree().Items[static_cast<std::size_t>(item)].Node);
  }

  ScriptedDialogs messages;  // installed first, so that start-up errors would be recorded
  ScriptedWindowDialogs dialogs;
  std::unique_ptr<QTemporaryDir> dir;
  std::unique_ptr<TForm1> form;
  std::vector<QUrl> opened;
};

}  // namespace qm::ui::test
