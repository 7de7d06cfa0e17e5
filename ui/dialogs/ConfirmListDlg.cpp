#include "ui/dialogs/ConfirmListDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <climits>

#include "engine/HttpClient.h"
#include "task/MainWindowPort.h"
#include "ui_ConfirmListDlg.h"

namespace qm::ui {
namespace {

// The main window's bar counts in percent.
int Percent(std::int64_t count, std::int64_t maximum) {
  if (maximum <= 0) return 0;
  return static_cast<int>(std::clamp<std::int64_t>(count * 100 / maximum, 0, 100));
}

}  // namespace

TConfirmListDlg::TConfirmListDlg(QWidget* parent)
    : QDialog(parent), ui_(new Ui::TConfirmListDlg), client_(std::make_unique<THttpClient>()) {
  ui_->setupUi(this);
  const int widths[] = {80, 70, 60, 60, 110};
  for (int i = 0; i < 5; ++i) ui_->ListView1->setColumnWidth(i, widths[i]);
  connect(ui_->ButtonLater, &QPushButton::clicked, this, [this] { done(Ignore); });

  // Status panels of 150 and 50; the first carries the progress bar (range 0 to 100 at first).
  bar_ = new QProgressBar(ui_->StatusBar1);
  bar_->setObjectName(QStringLiteral("ProgressBar1"));
  bar_->setFixedWidth(150);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  auto* panel = new QLabel(ui_->StatusBar1);
  panel->setFixedWidth(50);
  ui_->StatusBar1->addWidget(bar_);
  ui_->StatusBar1->addWidget(panel);

  client_->RecvBufferSize = 1024;
  client_->UserAgent = std::string(kUserAgent);
  client_->OnWorkBegin = [this](THttpClient&, TWorkMode, std::int64_t expected) {
    WorkBegin(expected);
  };
  client_->OnWork = [this](THttpClient&, TWorkMode, std::int64_t count) { Work(count); };
  client_->OnWorkEnd = [this](THttpClient&, TWorkMode) { WorkEnd(); };
}

TConfirmListDlg::~TConfirmListDlg() = default;

QTreeWidget& TConfirmListDlg::List() const {
  return *ui_->ListView1;
}
QProgressBar& TConfirmListDlg::ProgressBar() const {
  return *bar_;
}

void TConfirmListDlg::SetBar(std::int64_t maximum, std::int64_t value) {
  // A bar counts in int; sizes beyond that are scaled down together.
  std::int64_t scale = 1;
  while (maximum / scale > INT_MAX || value / scale > INT_MAX) scale *= 1024;
  const int max = static_cast<int>(std::max<std::int64_t>(maximum, 0) / scale);
  const int pos = static_cast<int>(value / scale);
  QMetaObject::invokeMethod(
      bar_,
      [bar = bar_, max, pos] {
        bar->setRange(0, max);
        bar->setValue(pos);
      },
      Qt::AutoConnection);
}

void TConfirmListDlg::WorkBegin(std::int64_t expected) {
  expected_ = expected;
  SetBar(expected, 0);
  Window().SetProgress(0);
  if (expected > 0)
    Window().SetStatusText("下载中Transfering: " + std::to_string(expected) + "byte");
}

void TConfirmListDlg::Work(std::int64_t count) {
  const std::int64_t expected = expected_;
  if (expected <= 0) {
    Window().SetStatusText(std::to_string(count) + " bytes.");
    return;
  }
  Window().SetStatusText(std::to_string(count) + " bytes of " + std::to_string(expected) +
                         " bytes.");
  SetBar(expected, count);
  Window().SetProgress(Percent(count, expected));
}

void TConfirmListDlg::WorkEnd() {
  SetBar(expected_, 0);
  Window().SetProgress(0);
  Window().SetStatusText("Done");
}

}  // namespace qm::ui
