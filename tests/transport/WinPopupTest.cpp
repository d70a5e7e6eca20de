#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "transport/WinPopup.h"

namespace pelmora {
namespace {

std::uint16_t Crc(const std::string& s) {
  return Crc16Arc(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

TEST(Crc16Arc, KnownValues) {
  EXPECT_EQ(Crc("abc"), 0x9738);
  EXPECT_EQ(Crc("123456789"), 0xBB3D);
  EXPECT_EQ(Crc(""), 0x0000);
  const std::string abc = "abc";
  EXPECT_EQ(Crc16ArcText(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()), "9738");
  const std::string digits = "123456789";
  EXPECT_EQ(Crc16ArcText(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()),
            "BB3D");
  // Four digits also when the value is small.
  const std::string one = "\x01";
  EXPECT_EQ(Crc16ArcText(reinterpret_cast<const std::uint8_t*>(one.data()), 1), "C0C1");
}

TEST(MessengerDatagram, BuildsSenderRecipientTextWithoutTerminator) {
  EXPECT_EQ(BuildMessengerDatagram("TEJO", "MIRLO", "hola"), std::string("TEJO\0MIRLO\0hola", 15));
  EXPECT_EQ(BuildMessengerDatagram("", "", ""), std::string("\0\0", 2));
  // Windows-1252 e acute (E9) is 82 in code page 850 and in 437.
  EXPECT_EQ(BuildMessengerDatagram("A", "B", "caf\xE9", text::OemCodePage::Cp850),
            std::string("A\0B\0caf\x82", 8));
  EXPECT_EQ(BuildMessengerDatagram("A", "B", "caf\xE9", text::OemCodePage::Cp437),
            std::string("A\0B\0caf\x82", 8));
}

TEST(MessengerDatagram, ParsesFieldsTreatingMissingOnesAsEmpty) {
  using F = MessengerFields;
  EXPECT_EQ(ParseMessengerDatagram(std::string("TEJO\0MIRLO\0hola", 15)),
            (F{"TEJO", "MIRLO", "hola"}));
  // A third zero byte ends the text.
  EXPECT_EQ(ParseMessengerDatagram(std::string("a\0b\0text\0junk", 13)), (F{"a", "b", "text"}));
  EXPECT_EQ(ParseMessengerDatagram(std::string("a\0b", 3)), (F{"a", "b", ""}));
  EXPECT_EQ(ParseMessengerDatagram(std::string("a\0", 2)), (F{"a", "", ""}));
  EXPECT_EQ(ParseMessengerDatagram("only"), (F{"only", "", ""}));
  EXPECT_EQ(ParseMessengerDatagram(""), (F{"", "", ""}));
  EXPECT_EQ(ParseMessengerDatagram(std::string("\0\0", 2)), (F{"", "", ""}));
  EXPECT_EQ(ParseMessengerDatagram(std::string("A\0B\0caf\x82", 8)), (F{"A", "B", "caf\xE9"}));
  EXPECT_EQ(ParseMessengerDatagram(std::string("A\0B\0\x9B", 5), text::OemCodePage::Cp437).text,
            "\xA2");  // cent sign: 9B in 437, A2 in Windows-1252
}

struct Raised {
  std::string reciever, sender, msg;
};

class WinPopupReceive : public ::testing::Test {
 protected:
  void SetUp() override {
    popup.SetTickSource([this] { return now; });
    popup.OnMessage = [this](TmdCustomWinPopup&, const std::string& r, const std::string& s,
                             const std::string& m) {
      raised.push_back({r, s, m});
    };
  }
  void Feed(const std::string& datagram) {
    popup.DoBinMessageAvail(reinterpret_cast<const std::uint8_t*>(datagram.data()),
                            static_cast<std::uint32_t>(datagram.size()));
  }
  std::uint32_t now = 100000;
  TmdWinPopup popup;
  std::vector<Raised> raised;
  const std::string a = BuildMessengerDatagram("TEJO", "MIRLO", "uno");
  const std::string b = BuildMessengerDatagram("TEJO", "MIRLO", "dos");
};

TEST_F(WinPopupReceive, RaisesRecipientBeforeSenderOnAnInactiveEndpoint) {
  ASSERT_FALSE(popup.Active());
  Feed(BuildMessengerDatagram("TEJO", "MIRLO", "caf\xE9"));
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_EQ(raised[0].reciever, "MIRLO");
  EXPECT_EQ(raised[0].sender, "TEJO");
  EXPECT_EQ(raised[0].msg, "caf\xE9");
}

TEST_F(WinPopupReceive, DuplicateWithinTwoSecondsIsDropped) {
  Feed(a);
  now += 1500;
  Feed(a);
  EXPECT_EQ(raised.size(), 1u);
  now += 1999;  // 1999 ms after the dropped one: still within its window
  Feed(a);
  EXPECT_EQ(raised.size(), 1u);
  now += 2000;
  Feed(a);
  EXPECT_EQ(raised.size(), 2u);
}

TEST_F(WinPopupReceive, EachDropRestartsTheWindow) {
  for (int i = 0; i < 5; ++i, now += 1000) Feed(a);
  EXPECT_EQ(raised.size(), 1u);
}

TEST_F(WinPopupReceive, OnlyTheLastChecksumIsRemembered) {
  Feed(a);
  now += 300;
  Feed(b);
  now += 300;
  Feed(a);
  EXPECT_EQ(raised.size(), 3u);
  EXPECT_EQ(popup.LastChecksum().size(), 4u);
}

TEST_F(WinPopupReceive, FilterWorksAcrossTheTickWrap) {
  now = 0xFFFFFF00u;
  Feed(a);
  now += 1000;  // wraps to a small number
  Feed(a);
  EXPECT_EQ(raised.size(), 1u);
  now += 5000;
  Feed(a);
  EXPECT_EQ(raised.size(), 2u);
}

TEST_F(WinPopupReceive, WithoutHandlerNothingIsRaisedAndStateStays) {
  popup.OnMessage = nullptr;
  Feed(a);
  EXPECT_EQ(popup.LastChecksum(), "");
  EXPECT_EQ(popup.LastTick(), 0u);
}

TEST_F(WinPopupReceive, ShortDatagramsGiveEmptyFields) {
  Feed("solo");
  Feed(std::string());
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[0].sender, "solo");
  EXPECT_EQ(raised[0].reciever, "");
  EXPECT_EQ(raised[0].msg, "");
  EXPECT_EQ(raised[1].sender, "");
}

TEST(WinPopup, DefaultsAndSlot) {
  TmdWinPopup popup;
  EXPECT_EQ(popup.Slot(), "messngr");
  EXPECT_TRUE(popup.SlotNameSet());
  EXPECT_EQ(popup.Server(), ".");
  popup.SetName("WinPopup");
  EXPECT_EQ(popup.Slot(), "messngr");
}

// Sending goes through the ordinary writer: to this machine it arrives on the local slot, with
// exactly the datagram bytes, whether or not the sending endpoint is active.
TEST(WinPopup, SendMessengerMessageWritesTheDatagramToMessngr) {
  EventLoopMailSlotDispatcher loop;
  TmdMailSlot receiver(&loop);
  receiver.SetSlot("MESSNGR");
  std::vector<std::string> got;
  receiver.OnBinMessageAvail = [&](TmdCustomMailSlot&, const std::uint8_t* d, std::uint32_t n) {
    got.emplace_back(reinterpret_cast<const char*>(d), n);
  };
  receiver.SetActive(true);
  TmdWinPopup sender;
  EXPECT_TRUE(sender.SendMessengerMessage(".", "TEJO", "MIRLO", "hola \xE9"));
  ASSERT_TRUE(testing::PumpUntil([&] { loop.WaitAndProcess(50); }, [&] { return !got.empty(); }));
  EXPECT_EQ(got[0], std::string("TEJO\0MIRLO\0hola \x82", 17));
  receiver.SetActive(false);
  EXPECT_FALSE(sender.SendMessengerMessage(".", "TEJO", "MIRLO", "nobody listens"));
}

// The whole road on one machine: an active messenger endpoint receives what is sent to it and
// filters the copy that arrives a moment later.
TEST(WinPopup, ActiveEndpointReceivesAndFiltersDuplicates) {
  EventLoopMailSlotDispatcher loop;
  TmdWinPopup popup(&loop);
  std::vector<Raised> raised;
  popup.OnMessage = [&](TmdCustomWinPopup&, const std::string& r, const std::string& s,
                        const std::string& m) {
    raised.push_back({r, s, m});
  };
  popup.SetActive(true);
  ASSERT_TRUE(popup.SendMessengerMessage(".", "TEJO", "MIRLO", "uno"));
  ASSERT_TRUE(popup.SendMessengerMessage(".", "TEJO", "MIRLO", "uno"));
  ASSERT_TRUE(popup.SendMessengerMessage(".", "TEJO", "MIRLO", "dos"));
  ASSERT_TRUE(
      testing::PumpUntil([&] { loop.WaitAndProcess(50); }, [&] { return raised.size() >= 2; }));
  loop.WaitAndProcess(100);
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[0].msg, "uno");
  EXPECT_EQ(raised[1].msg, "dos");
  EXPECT_EQ(raised[1].reciever, "MIRLO");
}

}  // namespace
}  // namespace pelmora
