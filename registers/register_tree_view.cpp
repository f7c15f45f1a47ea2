// The register tree view: Qt's tree view with the operator's gestures routed to the register handlers.
#include "registers/register_tree_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "registers/palette.h"

namespace velnorex {

void RegisterTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const auto* model = qobject_cast<const RegisterTreeModel*>(index.model());
  const RegisterTreeNode* node = model ? model->nodeAt(index) : nullptr;
  if (!node || node->checkType != CheckType::ctRadioButton || index.column() != 0) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // Background and selection over the whole cell, then a radio button where the check box would be, then the
  // rest of the cell without its check box, moved past the button.
  style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
  const QRect checkRect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget);
  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
  QStyleOptionButton radio;
  radio.rect = checkRect;
  radio.state = (opt.state & QStyle::State_Enabled) |
                (opt.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
  style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &radio, painter, widget);
  QStyleOptionViewItem rest = opt;
  rest.features &= ~QStyleOptionViewItem::HasCheckIndicator;
  rest.rect.setLeft(textRect.left() - style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) - 1);
  style->drawControl(QStyle::CE_ItemViewItem, &rest, painter, widget);
}

void ReadableTextDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  const QVariant foreground = index.data(Qt::ForegroundRole);
  if (!foreground.canConvert<QBrush>()) return;
  const QColor named = qvariant_cast<QBrush>(foreground).color();
  QColor background = option->palette.color(
      option->features.testFlag(QStyleOptionViewItem::Alternate) ? QPalette::AlternateBase : QPalette::Base);
  if (option->backgroundBrush.style() != Qt::NoBrush) background = option->backgroundBrush.color();
  option->palette.setColor(QPalette::Text, ReadableOn(named, background));
  // The selection's colour is often a mid-tone on either kind of desktop: the desktop's own background
  // decides whether the named colour is kept there too.
  const QColor highlight = option->palette.color(QPalette::Highlight);
  option->palette.setColor(QPalette::HighlightedText, IsDarkBackground(option->palette.color(QPalette::Base))
                                                          ? NearestReadable(named, highlight)
                                                          : named);
}

RegisterTreeView::UpdateBracket::UpdateBracket(QWidget* view)
    : view_(view), wasEnabled_(view->updatesEnabled()) {
  view_->setUpdatesEnabled(false);
}

RegisterTreeView::UpdateBracket::~UpdateBracket() {
  if (wasEnabled_) view_->setUpdatesEnabled(true);
}

RegisterTreeView::RegisterTreeView(QWidget* parent) : QTreeView(parent) {
  setObjectName(QStringLiteral("VT"));
  setItemDelegate(new RegisterTreeDelegate(this));
  // Only our own triggers: a double-click on a value is decided by VTColumnDblClick, F2 goes through the
  // gate.
  setEditTriggers(QAbstractItemView::EditKeyPressed);
  setExpandsOnDoubleClick(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setUniformRowHeights(true);
  header()->setSectionsMovable(true);
  header()->setStretchLastSection(false);
  connect(this, &QTreeView::expanded, this, &RegisterTreeView::nodeExpanding);
}

void RegisterTreeView::setRegisterModel(RegisterTreeModel* model) {
  model_ = model;
  if (QTreeView::model() != model) setModel(model);
}

RegisterTreeNode* RegisterTreeView::focusedNode() const {
  return model_ ? model_->nodeAt(currentIndex()) : nullptr;
}

void RegisterTreeView::setFocusedNode(RegisterTreeNode* node) {
  if (!model_) return;
  const QModelIndex index = model_->indexOf(node, RegisterTreeModel::kColumnName);
  if (index.isValid()) setCurrentIndex(index);
}

RegisterTreeNode* RegisterTreeView::nodeAtY(int y) const {
  if (!model_) return nullptr;
  // Only the row counts: probe the first visible column at that height.
  const int x = columnViewportPosition(header()->logicalIndex(0)) + 1;
  return model_->nodeAt(indexAt(QPoint(x, y)));
}

bool RegisterTreeView::openValueEditor(RegisterTreeNode* node) {
  if (!model_) return false;
  const QModelIndex index = model_->indexOf(node, RegisterTreeModel::kColumnValue);
  if (!index.isValid()) return false;
  return edit(index, QAbstractItemView::AllEditTriggers, nullptr);
}

bool RegisterTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  const bool opensEditor = trigger == EditKeyPressed || trigger == AllEditTriggers;
  if (!opensEditor || !model_) return QTreeView::edit(index, trigger, event);
  if (isBusy && isBusy()) return false;
  // F2 on any cell of a row edits that row's value.
  const QModelIndex valueIndex = index.siblingAtColumn(RegisterTreeModel::kColumnValue);
  if (!RegisterTreeModel::VTEditing(model_->nodeAt(valueIndex), valueIndex.column())) return false;
  // The tree is brought up to date before the editor opens.
  { UpdateBracket bracket(this); }
  return QTreeView::edit(valueIndex, trigger, event);
}

void RegisterTreeView::mousePressEvent(QMouseEvent* event) {
  // A right-click only opens the pop-up menu, whose "Dodaj do listy" adds CurrentRecord: moving the
  // highlight to the row under the pointer would show one register and add another.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  if (event->button() == Qt::LeftButton) clickPending_ = true;
  QTreeView::mousePressEvent(event);
}

void RegisterTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTreeView::mouseReleaseEvent(event);
  // A click is a press and a release here; the release that ends a double-click is no click of its own.
  if (event->button() != Qt::LeftButton || !clickPending_) return;
  clickPending_ = false;
  emit treeClicked();
}

void RegisterTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  const QPoint position = event->position().toPoint();
  clickPending_ = false;
  QTreeView::mouseDoubleClickEvent(event);
  clickPending_ = false;
  if (event->button() != Qt::LeftButton) return;
  const int column = columnAt(position.x());
  if (column >= 0) emit columnDoubleClicked(column, position);
}

bool RegisterTreeView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
      QStyleOptionViewItem option;
      initViewItemOption(&option);
      const QRect cell = visualRect(index);
      option.rect = cell;
      if (itemDelegateForIndex(index)->sizeHint(option, index).width() > cell.width()) {
        QToolTip::showText(help->globalPos(), text, viewport(), cell);
        return true;
      }
    }
  }
  return QTreeView::viewportEvent(event);
}

}  // namespace velnorex
