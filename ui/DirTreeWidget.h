#pragma once
// The category tree's view (TreeView1): a tree widget whose drag and drop, Delete key and
// in-place rename are decided by the window, not by the widget moving items itself.
#include <QTreeWidget>
#include <functional>

#include "manager/DirUnit.h"

class QTreeWidgetItem;

namespace qm::ui {

class TDirTreeWidget : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TDirTreeWidget(QWidget* parent = nullptr);

  // Whether `dragged` may be dropped on `target` (null: no node under the pointer).
  std::function<bool(QTreeWidgetItem* target, QTreeWidgetItem* dragged)> AcceptsDrop;
  // Runs the drop; the widget itself moves nothing (the window refills the tree).
  std::function<void(QTreeWidgetItem* target, QTreeWidgetItem* dragged)> Dropped;

 signals:
  void DeletePressed();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// TDir's view over the tree widget: nodes are the widget's items, images the tree's three icons.
class TTreeViewBinding final : public TDirView {
 public:
  explicit TTreeViewBinding(QTreeWidget& tree);

  void BeginUpdate() override;
  void EndUpdate() override;
  void Clear() override;
  TDirNode AddNode(TDirNode parent, const std::string& text, int image, int selectedImage) override;
  void Expand(TDirNode node) override;

  static QTreeWidgetItem* Item(TDirNode node) { return static_cast<QTreeWidgetItem*>(node); }
  static TDirNode Node(QTreeWidgetItem* item) { return item; }
  // The image index a node was added with (0 category, 1 task, 2 recycle bin).
  static int ImageOf(const QTreeWidgetItem* item);
  // True while the view is being refilled: item signals then mean nothing.
  bool Filling() const { return filling_ > 0; }

 private:
  QTreeWidget& tree_;
  int filling_ = 0;
};

}  // namespace qm::ui
