// The watch list panel: visibility, removal and order of the entries.
#include "registers/watch_list_panel.h"

#include <algorithm>

#include <QItemSelectionModel>

namespace velnorex {

WatchListPanel::WatchListPanel(QTreeView& view, WatchListModel& model, QAction& toggle, QAction& remove,
                               QAction& up, QAction& down)
    : view_(view), model_(model), toggle_(toggle), remove_(remove), up_(up), down_(down) {
  view_.setSelectionMode(QAbstractItemView::SingleSelection);
  view_.setSelectionBehavior(QAbstractItemView::SelectRows);
  view_.setRootIsDecorated(false);
  toggle_.setCheckable(true);
  toggle_.setChecked(!view_.isHidden());
  const auto update = [this] { updateActions(); };
  QObject::connect(&model_, &QAbstractItemModel::rowsInserted, &view_, update);
  QObject::connect(&model_, &QAbstractItemModel::rowsRemoved, &view_, update);
  QObject::connect(&model_, &QAbstractItemModel::rowsMoved, &view_, update);
  QObject::connect(&model_, &QAbstractItemModel::modelReset, &view_, update);
  connectSelection();
}

void WatchListPanel::connectSelection() {
  QItemSelectionModel* selection = view_.selectionModel();
  if (selection && selection != selection_) {
    selection_ = selection;
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, &view_, [this] { updateActions(); });
  }
  updateActions();
}

void WatchListPanel::toggle() {
  view_.setVisible(view_.isHidden());
  toggle_.setChecked(!view_.isHidden());
}

int WatchListPanel::selectedRow() const {
  const QItemSelectionModel* selection = view_.selectionModel();
  if (!selection) return -1;
  const QModelIndexList rows = selection->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void WatchListPanel::removeSelected() {
  const int row = selectedRow();
  if (locked_ || !model_.removeEntry(row)) return;
  const int count = model_.rowCount();
  if (count > 0) view_.setCurrentIndex(model_.index(std::min(row, count - 1), 0));
}

void WatchListPanel::moveSelected(int delta) {
  const int row = selectedRow();
  if (locked_ || row < 0) return;
  const int to = row + delta;
  if (!model_.moveEntry(row, to)) return;
  view_.setCurrentIndex(model_.index(std::clamp(to, 0, model_.rowCount() - 1), 0));
}

void WatchListPanel::setLocked(bool locked) {
  locked_ = locked;
  updateActions();
}

void WatchListPanel::updateActions() {
  const int row = selectedRow();
  const int count = model_.rowCount();
  remove_.setEnabled(!locked_ && row >= 0);
  up_.setEnabled(!locked_ && row > 0);
  down_.setEnabled(!locked_ && row >= 0 && row + 1 < count);
}

}  // namespace velnorex
