// The word-order finder: one row per order with the value it gives, "Użyj" takes the selected one.
#include "app/word_order_dialog.h"

#include <QCoreApplication>

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/message_box.h"
#include "registers/register_operations.h"

namespace velnorex {

WordOrderDialog::WordOrderDialog(const OrderReadings& readings, WordOrder current, QWidget* parent)
    : QDialog(parent), chosen_(current) {
  setObjectName(QStringLiteral("WordOrderDialog"));
  setWindowTitle(QCoreApplication::translate("WordOrderDialog", "Kolejność słów"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QCoreApplication::translate("WordOrderDialog", "ostatnio odczytane słowa w każdej kolejności:"), this));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("lbOrders"));
  for (int order = 0; order < 4; ++order) {
    list_->addItem(
        QStringLiteral("%1\t%2").arg(QString::fromStdU16String(std::u16string(kWordOrderNames[order])),
                                     QString::fromStdU16String(readings.byOrder[order])));
  }
  // The REAL of old, for comparison only: it is CDAB read as a single.
  auto* real =
      new QListWidgetItem(QStringLiteral("REAL\t%1").arg(QString::fromStdU16String(readings.asReal)));
  real->setFlags(Qt::ItemIsEnabled);
  list_->addItem(real);
  list_->setCurrentRow(static_cast<int>(current));
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* use = buttons->addButton(QCoreApplication::translate("WordOrderDialog", "Użyj"), QDialogButtonBox::AcceptRole);
  use->setObjectName(QStringLiteral("btUse"));
  buttons->addButton(QCoreApplication::translate("WordOrderDialog", "Zamknij"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    const int row = list_->currentRow();
    if (row >= 0 && row < 4) chosen_ = static_cast<WordOrder>(row);
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void FindWordOrder(RegisterOperations& operations, RegisterTreeNode* node, QWidget* parent) {
  if (!node || !TakesWordOrder(TypeCodeOf(node->data.Type))) {
    ShowModalMessage(parent, QCoreApplication::translate("WordOrderDialog", "rejestr bez kolejności słów"));
    return;
  }
  OrderReadings readings;
  if (!operations.ReadingsInEveryOrder(node, readings)) {
    ShowModalMessage(parent, QCoreApplication::translate("WordOrderDialog", "najpierw odczytaj rejestr"));
    return;
  }
  const WordOrder current = RegisterFormatOf(node->data.Type).order;
  WordOrderDialog dialog(readings, current, parent);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::u16string key = operations.UseWordOrder(node, dialog.chosen());
  // The program never writes a definition: the key goes where the integrator pastes it into its JSON.
  if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(QString::fromStdU16String(key));
}

}  // namespace velnorex
