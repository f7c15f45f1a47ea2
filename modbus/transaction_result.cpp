// The reasons a transaction brought no value.
#include "modbus/transaction_result.h"

#include "text/number_text.h"

namespace velnorex {

std::u16string FailureReason(TransactionOutcome outcome, uint8_t exceptionCode) {
  switch (outcome) {
    case TransactionOutcome::Exception:
      return u"wyjątek " + IntToStr(exceptionCode);
    case TransactionOutcome::CrcError:
    case TransactionOutcome::Malformed:
      return u"błąd CRC";
    default:
      return u"brak odpowiedzi";
  }
}

}  // namespace velnorex
