// Whatever arrives on the carrier's UDP port: the NetBIOS datagram with its SMB mailslot write.
// Besides "no crash, no read outside the input", it checks that a frame that parses builds back
// into a frame that parses to the same fields, and that the slot and name helpers the receiver
// applies to the parsed fields hold up.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/CodePage.h"
#include "transport/NetbiosFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora;
  const auto frame = ParseMailslotFrame(data, size);
  if (!frame) return 0;
  (void)SlotOfMailslotPath(frame->mailslotPath);
  (void)NetbiosNameOf(frame->destinationName);
  (void)NetbiosWireName(frame->sourceName, text::OemCodePage::Cp850);
  (void)text::OemToAnsi(frame->sourceName, text::OemCodePage::Cp437);
  const std::vector<std::uint8_t> rebuilt = BuildMailslotFrame(*frame);
  if (rebuilt.empty()) return 0;  // fields the builder refuses (say, a name with blanks at the end)
  const auto again = ParseMailslotFrame(rebuilt.data(), rebuilt.size());
  if (!again || !(*again == *frame)) std::abort();
  return 0;
}
