#pragma once
// The dialogs the main window's flows open, behind one interface: the flows say what they need
// (fields in, answer out) and do not depend on each dialog's layout; the window's tests answer
// them from a script. The program's implementation opens the dialog classes through Dialogs().
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace qm {
class TTask;
}

namespace qm::ui {

// The new-task dialog's three fields.
struct TNewTaskFields {
  QString Url, Name, File;
};

// One entry of the directory confirmation list: the directory and its tick.
using TDirChoice = std::pair<std::string, bool>;

class TWindowDialogs {
 public:
  virtual ~TWindowDialogs() = default;
  // The new-task dialog with the fields filled in; true on either OK button (which also sets
  // StartAtOnce); the fields then hold what the user confirmed.
  virtual bool NewTask(QWidget* parent, TNewTaskFields& fields) = 0;
  // The main settings dialog; true when confirmed (the settings are then in memory).
  virtual bool MainSettings(QWidget* parent) = 0;
  // The new-category dialog; true on OK, with the name typed.
  virtual bool NewCategory(QWidget* parent, QString& name) = 0;
  // The directory confirmation of `task` with the list filled from `dirs`; true on OK, with
  // `dirs` holding every list entry (entries added in the dialog appended) and its tick.
  virtual bool ConfirmDirectories(QWidget* parent, TTask& task, std::vector<TDirChoice>& dirs) = 0;
};

// The program's own dialogs, children of `window`.
std::unique_ptr<TWindowDialogs> MakeProgramDialogs(QWidget* window);

// The message of a command whose dialog is still to come.
void NotAvailableYet(QWidget* parent, const QString& what);

}  // namespace qm::ui
