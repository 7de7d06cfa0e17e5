#include "ui/dialogs/DialogSupport.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QStringDecoder>

#include "platform/Gbk.h"

namespace qm::ui {

TRadioGroup::TRadioGroup(QGroupBox* box, std::vector<int> values)
    : buttons_(box->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)),
      values_(std::move(values)) {
  // Children come in creation order, which is the order of the Designer file.
  if (buttons_.size() != static_cast<qsizetype>(values_.size()))
    qFatal("radio group %s: %d buttons for %d values", qPrintable(box->objectName()),
           int(buttons_.size()), int(values_.size()));
}

void TRadioGroup::Show(int value) {
  for (std::size_t i = 0; i < values_.size(); ++i) {
    QRadioButton* button = buttons_[static_cast<qsizetype>(i)];
    // Exclusive buttons cannot all be cleared by unchecking one; switch that off for a moment.
    button->setAutoExclusive(false);
    button->setChecked(values_[i] == value);
    button->setAutoExclusive(true);
  }
}

std::optional<int> TRadioGroup::Value() const {
  for (std::size_t i = 0; i < values_.size(); ++i)
    if (buttons_[static_cast<qsizetype>(i)]->isChecked()) return values_[i];
  return std::nullopt;
}

std::optional<int> ParseDecimal(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

bool HasForbiddenNameChar(const QString& name) {
  for (char16_t c : std::u16string_view(kForbiddenNameChars))
    if (name.contains(QChar(c))) return true;
  return false;
}

QString FileFieldForName(const QString& name, const QString& fileField) {
  if (name.isEmpty() || HasForbiddenNameChar(name)) return fileField;
  // The folder part ends at the last separator; the field normally holds a "\" path, but one
  // typed with "/" keeps its folder too.
  const qsizetype cut = std::max(fileField.lastIndexOf(u'\\'), fileField.lastIndexOf(u'/'));
  return fileField.left(cut + 1) + name + QStringLiteral(".web");
}

QString ToNativePath(const QString& programPath) {
  QString path = programPath;
  return path.replace(u'\\', u'/');
}

QString ToProgramPath(const QString& nativePath) {
  QString path = nativePath;
  return path.replace(u'/', u'\\');
}

QString PageText(const std::string& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  return QString::fromStdString(GbkToUtf8(bytes));
}

}  // namespace qm::ui
