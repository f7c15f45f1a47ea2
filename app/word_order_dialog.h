// "Znajdź kolejność słów": the last read words of a 32- or 64-bit register shown in all four word orders and
// as the REAL of old, so that a technician with an unknown transducer picks the one that makes sense.
#pragma once

#include <QDialog>

#include "modbus/register_value.h"
#include "registers/view_state.h"

class QListWidget;

namespace velnorex {

class WordOrderDialog : public QDialog {
 public:
  WordOrderDialog(const OrderReadings& readings, WordOrder current, QWidget* parent);
  // The order picked with "Użyj"; the current one until then.
  WordOrder chosen() const { return chosen_; }

 private:
  QListWidget* list_ = nullptr;
  WordOrder chosen_;
};

// Asks for the focused register's order and applies it to the register tree for this session; the key the
// definition wants is put on the clipboard. Shows "najpierw odczytaj rejestr" when there are no words of it
// to show, "rejestr bez kolejności słów" for a register of one word or a text.
class RegisterOperations;
void FindWordOrder(RegisterOperations& operations, RegisterTreeNode* node, QWidget* parent);

}  // namespace velnorex
