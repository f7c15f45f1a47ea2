// The register tree view VT: gestures (click, double-click by column, expansion), the editing gate for every
// gesture that opens an editor, and radio buttons.
#pragma once

#include <functional>

#include <QStyledItemDelegate>
#include <QTreeView>

#include "registers/register_tree_model.h"

namespace velnorex {

// Draws a cell's own text colour in the shade that stays readable on the cell's background (the named colour
// on a light palette), and keeps it on a selected row: the value just written is on the focused row, and its
// red must show there too.
class ReadableTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// Draws the check indicator of radio-button nodes as a radio button.
class RegisterTreeDelegate : public ReadableTextDelegate {
 public:
  using ReadableTextDelegate::ReadableTextDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class RegisterTreeView : public QTreeView {
  Q_OBJECT

 public:
  explicit RegisterTreeView(QWidget* parent = nullptr);

  // Takes the model (not owned).
  void setRegisterModel(RegisterTreeModel* model);
  RegisterTreeModel* registerModel() const { return model_; }

  RegisterTreeNode* focusedNode() const;
  void setFocusedNode(RegisterTreeNode* node);
  // The node in the row at this vertical viewport position, whatever the column.
  RegisterTreeNode* nodeAtY(int y) const;
  // Opens the in-place editor on the node's value (the editing gate still applies).
  bool openValueEditor(RegisterTreeNode* node);
  // An in-place editor is open.
  bool isEditing() const { return state() == EditingState; }

  // Suspends repainting while alive; nests. Closed also when an exception passes.
  class UpdateBracket {
   public:
    explicit UpdateBracket(QWidget* view);
    ~UpdateBracket();
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

   private:
    QWidget* view_;
    bool wasEnabled_;
  };

  // Whether the operator's commands may open an editor now (false while busy).
  std::function<bool()> isBusy;

 signals:
  // The operator clicked the tree (anywhere; after the focused node was set).
  void treeClicked();
  // The operator double-clicked a column (logical index) at a viewport position.
  void columnDoubleClicked(int column, QPoint position);
  void nodeExpanding(const QModelIndex& index);

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // A cell whose text is cut off shows its full text as a tool tip; elsewhere the tree's own hint.
  bool viewportEvent(QEvent* event) override;

 private:
  RegisterTreeModel* model_ = nullptr;
  bool clickPending_ = false;
};

}  // namespace velnorex
