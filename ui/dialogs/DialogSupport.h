#pragma once
// Small pieces the dialogs share: the radio groups of the download settings, the integer fields,
// the task name rule and the conversions between the program's "\" paths and the file system's.
#include <QList>
#include <QString>
#include <optional>
#include <string>
#include <vector>

class QGroupBox;
class QRadioButton;

namespace qm::ui {

// A group box of radio buttons, each standing for one value (in the buttons' order).
class TRadioGroup {
 public:
  TRadioGroup() = default;
  TRadioGroup(QGroupBox* box, std::vector<int> values);
  // Checks the button of `value`; a value no button stands for leaves every button unchecked.
  void Show(int value);
  // The value of the checked button; none when no button is checked.
  std::optional<int> Value() const;
  // `current` unless a button is checked.
  int ValueOr(int current) const { return Value().value_or(current); }
  QList<QRadioButton*> Buttons() const { return buttons_; }

 private:
  QList<QRadioButton*> buttons_;
  std::vector<int> values_;
};

// The values of the three settings groups, in their buttons' order.
inline const std::vector<int> kContentValues{1, 0, -1};  // "下载内容"
inline const std::vector<int> kScopeValues{0, 1, 2};     // "下载范围"
inline const std::vector<int> kImagesValues{0, 1};       // "网页中图片的位置"

// A signed decimal 32-bit integer, blanks around it allowed; none for anything else.
std::optional<int> ParseDecimal(const QString& text);

// The nine characters a task name may not contain for it to name the task file.
inline constexpr char16_t kForbiddenNameChars[] = u"\\/:*?\"<>|";
bool HasForbiddenNameChar(const QString& name);
// The task file field after the name field changed to `name`: the same folder with name + ".web",
// or the field unchanged when the name is empty or holds a forbidden character.
QString FileFieldForName(const QString& name, const QString& fileField);

// The program writes local paths with "\"; the file system and its choosers use "/".
QString ToNativePath(const QString& programPath);
QString ToProgramPath(const QString& nativePath);

// Text of a page as the user should read it: UTF-8 when the bytes are valid UTF-8, else GBK.
QString PageText(const std::string& bytes);

}  // namespace qm::ui
