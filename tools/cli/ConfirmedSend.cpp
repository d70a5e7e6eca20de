#include "ConfirmedSend.h"

#include "text/CodePage.h"

namespace pelmora::cli {

std::string ConfirmLine(std::string_view target, DeliveryOutcome outcome) {
  std::string_view what = "waiting for an answer";
  switch (outcome) {
    case DeliveryOutcome::kPending:
      break;
    case DeliveryOutcome::kShown:
      what = "shown by Pelmora";
      break;
    case DeliveryOutcome::kSecure:
      what = "taken by Pelmora on the secure slot";
      break;
    case DeliveryOutcome::kNoAnswer:
      what = "no answer, sent to the messenger slot";
      break;
    case DeliveryOutcome::kLateNotShown:
      what = "answered late, sent to the messenger slot, not to Pelmora";
      break;
  }
  return text::AnsiToUtf8(target) + ": " + std::string(what);
}

int ConfirmExitStatus(DeliveryOutcome outcome) {
  return outcome == DeliveryOutcome::kShown || outcome == DeliveryOutcome::kSecure ? 0
                                                                                   : kExitNoAnswer;
}

}  // namespace pelmora::cli
