#include "update/ui/ConfirmListAdapter.h"

#include <QTreeWidget>

namespace qm::ui {

void TConfirmListAdapter::ClearRows() {
  dialog_.List().clear();
}

void TConfirmListAdapter::AddRow(const QStringList& cells) {
  auto* row = new QTreeWidgetItem(&dialog_.List(), cells);
  row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
  row->setCheckState(0, Qt::Checked);
}

bool TConfirmListAdapter::RowTicked(int row) const {
  const QTreeWidgetItem* item = dialog_.List().topLevelItem(row);
  return item && item->checkState(0) == Qt::Checked;
}

}  // namespace qm::ui
