// The watch list VL as a panel the operator works with: shown and hidden ("Lista rejestrów", Ctrl+L),
// entries removed ("Usuń z listy", Delete) and reordered ("Przesuń w górę"/"w dół", Ctrl+Up/Ctrl+Down).
#pragma once

#include <QAction>
#include <QTreeView>

#include "registers/watch_list_model.h"

namespace velnorex {

class WatchListPanel {
 public:
  WatchListPanel(QTreeView& view, WatchListModel& model, QAction& toggle, QAction& remove, QAction& up,
                 QAction& down);

  // Follows the view's selection; called again whenever the view gets a new model.
  void connectSelection();

  // Shows the panel when hidden, hides it when shown.
  void toggle();
  // The selected entry goes; the next one (or the new last one) is selected.
  void removeSelected();
  // The selected entry moves `delta` places (negative: up) and stays selected.
  void moveSelected(int delta);
  // While the list is being recorded its entries stay as they are.
  void setLocked(bool locked);
  bool locked() const { return locked_; }

  // The selected entry's row, or -1.
  int selectedRow() const;

 private:
  void updateActions();

  QTreeView& view_;
  WatchListModel& model_;
  QAction& toggle_;
  QAction& remove_;
  QAction& up_;
  QAction& down_;
  const QItemSelectionModel* selection_ = nullptr;
  bool locked_ = false;
};

}  // namespace velnorex
