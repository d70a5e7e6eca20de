#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/MessengerSession.h"
#include "transport/WinPopup.h"

namespace pelmora {
namespace {

// What Samba's smbclient 4.17 sent for `printf '¿qué\n' | smbclient -M TEJO -U PEPE -N`, to a
// server that answered the start with group id 1. On a port other than 139 (here 13139) it
// opens with the start message; on 139 with a session request to TEJO<03> from the calling
// host's name (here VM<00>).
const std::string kStart13139(
    "\x00\x00\x00\x2F\xFF\x53\x4D\x42\xD5\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\xB7\x37\x00\x00\x00\x00\x00\x0C\x00\x04\x50\x45\x50\x45"
    "\x00\x04\x54\x45\x4A\x4F\x00",
    51);
const std::string kText13139(
    "\x00\x00\x00\x2E\xFF\x53\x4D\x42\xD7\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\xB7\x37\x00\x00\x00\x00\x01\x01\x00\x09\x00\x01\x06\x00"
    "\xA8\x71\x75\x82\x0D\x0A",
    50);
const std::string kEnd13139(
    "\x00\x00\x00\x25\xFF\x53\x4D\x42\xD6\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\xB7\x37\x00\x00\x00\x00\x01\x01\x00\x00\x00",
    41);
const std::string kRequest139(
    "\x81\x00\x00\x44\x20\x46\x45\x45\x46\x45\x4B\x45\x50\x43\x41\x43\x41\x43\x41\x43\x41\x43"
    "\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x41\x44\x00\x20\x46\x47\x45\x4E\x43"
    "\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43\x41\x43"
    "\x41\x43\x41\x41\x41\x00",
    72);

const SessionMessage kQue{"PEPE", "TEJO", "\xA8qu\x82\r\n"};

// A session under test with everything it hands over and answers.
struct Probe {
  explicit Probe(std::string own = "TEJO", bool take = true)
      : session(std::move(own), [this, take](const SessionMessage& m) {
          offered.push_back(m);
          return take;
        }) {}

  bool Feed(const std::string& bytes) {
    return session.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), replies);
  }
  // The replies so far, parsed; fails the test on any reply the client could not read.
  std::vector<SessionReply> Replies() {
    std::vector<SessionReply> out;
    std::string rest = replies;
    bool bad = false;
    while (auto r = TakeSessionReply(rest, bad)) out.push_back(*r);
    EXPECT_FALSE(bad);
    EXPECT_TRUE(rest.empty());
    return out;
  }

  MessengerSession session;
  std::vector<SessionMessage> offered;
  std::string replies;
};

std::uint32_t DosError(std::uint16_t code) {
  return kSmbErrorClassServer | (static_cast<std::uint32_t>(code) << 16);
}

std::string Datagram(const SessionMessage& m) { return SessionMessageDatagram(m); }

TEST(MessengerSession, SmbclientsDirectFormArrivesWithItsAccents) {
  Probe p;
  EXPECT_TRUE(p.Feed(kStart13139 + kText13139 + kEnd13139));
  ASSERT_EQ(p.offered.size(), 1u);
  EXPECT_EQ(p.offered[0], kQue);
  EXPECT_EQ(p.session.Delivered(), 1);
  EXPECT_FALSE(p.session.Requested());

  // One reply for each request, in order: the start's carries the group id the text and end
  // use; every header echoes the client's process id (B7 37) so the client matches them.
  const auto replies = p.Replies();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0].command, kSmbSendStartMessage);
  EXPECT_EQ(replies[0].words, std::vector<std::uint16_t>{1});
  EXPECT_EQ(replies[1].command, kSmbSendTextMessage);
  EXPECT_EQ(replies[2].command, kSmbSendEndMessage);
  for (const auto& r : replies) {
    EXPECT_EQ(r.type, kSessionMessage);
    EXPECT_EQ(r.status, 0u);
  }
  EXPECT_EQ(p.replies.substr(4 + 26, 2), "\xB7\x37");

  // Into the messenger slot it goes as the datagram, without echo's line end, and the
  // datagram's own parsing turns code page 850 into the program's text: "¿qué".
  EXPECT_EQ(Datagram(p.offered[0]), std::string("PEPE\0TEJO\0\xA8qu\x82", 14));
  EXPECT_EQ(ParseMessengerDatagram(Datagram(p.offered[0]), text::OemCodePage::Cp850),
            (MessengerFields{"PEPE", "TEJO", "\xBFqu\xE9"}));
}

TEST(MessengerSession, TheSameBytesInAnyPiecesGiveTheSameSession) {
  const std::string all = kRequest139 + kStart13139 + kText13139 + kEnd13139;
  Probe whole;
  ASSERT_TRUE(whole.Feed(all));
  Probe bytewise;
  for (char c : all) ASSERT_TRUE(bytewise.Feed(std::string(1, c)));
  EXPECT_EQ(bytewise.offered, whole.offered);
  EXPECT_EQ(bytewise.replies, whole.replies);
  ASSERT_EQ(whole.offered.size(), 1u);
}

TEST(MessengerSession, SessionRequestMustCallThisMachinesMessengerName) {
  // Port 139's form: the request to TEJO<03> is accepted, then the message follows.
  Probe tejo("TEJO");
  ASSERT_TRUE(tejo.Feed(kRequest139));
  EXPECT_TRUE(tejo.session.Requested());
  ASSERT_EQ(tejo.Replies().size(), 1u);
  EXPECT_EQ(tejo.Replies()[0].type, kPositiveSessionResponse);
  ASSERT_TRUE(tejo.Feed(kStart13139 + kText13139 + kEnd13139));
  EXPECT_EQ(tejo.offered, std::vector<SessionMessage>{kQue});

  // Any other name: "called name not present", and the session is over.
  Probe mirlo("MIRLO");
  EXPECT_FALSE(mirlo.Feed(kRequest139 + kStart13139 + kText13139 + kEnd13139));
  ASSERT_EQ(mirlo.Replies().size(), 1u);
  EXPECT_EQ(mirlo.Replies()[0].type, kNegativeSessionResponse);
  EXPECT_EQ(mirlo.Replies()[0].negativeCode, kCalledNameNotPresent);
  EXPECT_TRUE(mirlo.offered.empty());
  // Nothing is taken after the end, not even a good message.
  EXPECT_FALSE(mirlo.Feed(kStart13139 + kText13139 + kEnd13139));
  EXPECT_TRUE(mirlo.offered.empty());

  // This machine's name with the file server's suffix: not listening on that name. Letter case
  // of the called name does not matter.
  const std::string fileServer = BuildSessionRequest("tejo", "PEPE");
  std::string asServer = fileServer;
  asServer[4 + 1 + 30] = 'C';  // suffix 0x03 ("AD") becomes 0x20 ("CA")
  asServer[4 + 1 + 31] = 'A';
  Probe server("TEJO");
  EXPECT_FALSE(server.Feed(asServer));
  EXPECT_EQ(server.Replies().at(0).negativeCode, kNotListeningOnCalledName);
  Probe lower("TEJO");
  EXPECT_TRUE(lower.Feed(fileServer));

  // A request that is not two encoded names, or a second request.
  Probe broken("TEJO");
  EXPECT_FALSE(broken.Feed(std::string("\x81\x00\x00\x02\x20\x41", 6)));
  EXPECT_EQ(broken.Replies().at(0).negativeCode, kUnspecifiedSessionError);
  Probe twice("TEJO");
  EXPECT_FALSE(twice.Feed(kRequest139 + kRequest139));
}

TEST(MessengerSession, SingleBlockMessageAndOtherCommands) {
  Probe p;
  // SMB_COM_SEND_MESSAGE: the whole message in one request.
  std::string data(
      "\x04"
      "ANA\0"
      "\x04"
      "TEJO\0"
      "\x01\x04\x00"
      "hola",
      18);
  ASSERT_TRUE(p.Feed(BuildSessionSmb(kSmbSendMessage, {}, data)));
  EXPECT_EQ(p.offered, (std::vector<SessionMessage>{{"ANA", "TEJO", "hola"}}));

  // Anything else of SMB (a negotiate, a tree connect) is answered with an error and the
  // session may still carry a message; keep-alives are not answered at all.
  ASSERT_TRUE(p.Feed(BuildSessionSmb(0x72, {}, std::string("\x02NT LM 0.12\0", 12))));
  ASSERT_TRUE(p.Feed(std::string("\x85\x00\x00\x00", 4)));
  ASSERT_TRUE(p.Feed(BuildStartMessage("ANA", "TEJO") + BuildTextBlock(1, "y adi\xA2s") +
                     BuildEndMessage(1)));
  ASSERT_EQ(p.offered.size(), 2u);
  EXPECT_EQ(p.offered[1].text, "y adi\xA2s");
  const auto replies = p.Replies();
  ASSERT_EQ(replies.size(), 5u);
  EXPECT_EQ(replies[0].status, 0u);
  EXPECT_TRUE(replies[0].words.empty());
  EXPECT_EQ(replies[1].command, 0x72);
  EXPECT_EQ(replies[1].status, DosError(kSmbErrorUnknownCommand));
  EXPECT_EQ(replies[4].status, 0u);
}

TEST(MessengerSession, MalformedInputEndsTheSessionAndDeliversNothing) {
  const std::string start = BuildStartMessage("ANA", "TEJO");
  std::string noTerminator(
      "\x04"
      "ANA"
      "\x04"
      "TEJO",
      9);
  std::string shortBlock(
      "\x01\x09\x00"
      "abc",
      6);
  std::string cutByteCount = BuildSessionSmb(kSmbSendMessage, {},
                                             "\x04"
                                             "A");
  cutByteCount.resize(cutByteCount.size() - 1);
  cutByteCount[3] = static_cast<char>(cutByteCount[3] - 1);
  std::string smb2 = BuildEndMessage(1);
  smb2[4] = '\xFE';
  std::string reply = BuildEndMessage(1);
  reply[4 + 9] = '\x80';
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"names without their zero byte", BuildSessionSmb(kSmbSendStartMessage, {}, noTerminator)},
      {"a text block longer than its bytes",
       start + BuildSessionSmb(kSmbSendTextMessage, {1}, shortBlock)},
      {"a byte count beyond the packet", cutByteCount},
      {"text without a start", BuildTextBlock(1, "abc")},
      {"an end without a start", BuildEndMessage(1)},
      {"another message's group id", start + BuildTextBlock(2, "abc") + BuildEndMessage(1)},
      {"words on a start", BuildSessionSmb(kSmbSendStartMessage, {0},
                                           std::string("\x04"
                                                       "A\0\x04"
                                                       "B\0",
                                                       6))},
      {"a packet longer than any message",
       std::string("\x00\x00\x10\x01", 4) + std::string(4097, 'x')},
      {"a packet type nobody sends to a server", std::string("\x82\x00\x00\x00", 4)},
      {"not SMB1", smb2},
      {"a reply instead of a request", reply},
      {"a header too short", std::string("\x00\x00\x00\x05\xFFSMB\xD6", 9)},
      {"a keep-alive with a body", std::string("\x85\x00\x00\x01x", 5)},
      {"a session request after a message", start + kRequest139},
      {"a name longer than any", BuildStartMessage(std::string(64, 'A'), "TEJO")},
  };
  for (const auto& [what, bytes] : cases) {
    Probe p;
    EXPECT_FALSE(p.Feed(bytes + BuildStartMessage("ANA", "TEJO") + BuildTextBlock(1, "x") +
                        BuildEndMessage(1)))
        << what;
    EXPECT_TRUE(p.session.Ended()) << what;
    EXPECT_TRUE(p.offered.empty()) << what;
  }
}

TEST(MessengerSession, MessagesAreBoundedAndARefusalIsAnswered) {
  // 1600 bytes of text in blocks arrive whole; one more is refused with ERRnoroom.
  const std::string most(kSessionLargestText, 'a');
  Probe fits;
  std::string bytes = BuildStartMessage("ANA", "TEJO");
  for (const auto block : SplitSessionText(most)) bytes += BuildTextBlock(1, block);
  ASSERT_TRUE(fits.Feed(bytes + BuildEndMessage(1)));
  ASSERT_EQ(fits.offered.size(), 1u);
  EXPECT_EQ(fits.offered[0].text, most);

  Probe over;
  EXPECT_FALSE(over.Feed(bytes + BuildTextBlock(1, "b") + BuildEndMessage(1)));
  EXPECT_TRUE(over.offered.empty());
  EXPECT_EQ(over.Replies().back().status, DosError(kSmbErrorNoRoom));
  Probe single;
  std::string data = std::string(
                         "\x04"
                         "A\0\x04"
                         "B\0\x01",
                         7) +
                     "\x41\x06" + std::string(1601, 'c');
  EXPECT_FALSE(single.Feed(BuildSessionSmb(kSmbSendMessage, {}, data)));
  EXPECT_TRUE(single.offered.empty());

  // A message the receiver does not take (the rate cap, a full slot): the client is told.
  Probe refused("TEJO", /*take=*/false);
  EXPECT_FALSE(refused.Feed(kStart13139 + kText13139 + kEnd13139));
  EXPECT_EQ(refused.offered.size(), 1u);
  EXPECT_EQ(refused.session.Delivered(), 0);
  EXPECT_EQ(refused.Replies().back().status, DosError(kSmbErrorNoRoom));

  // However small its packets, a session ends after so many of them.
  Probe chatty;
  std::string keepAlives;
  for (int i = 0; i < kSessionLargestPacketCount; ++i) keepAlives += std::string("\x85\0\0\0", 4);
  EXPECT_TRUE(chatty.Feed(keepAlives));
  EXPECT_FALSE(chatty.Feed(std::string("\x85\0\0\0", 4)));
}

TEST(MessengerSession, DatagramKeepsInnerLineBreaksAndDropsOnlyTrailingOnes) {
  EXPECT_EQ(Datagram({"A", "B", "one\r\ntwo\r\n\r\n"}), std::string("A\0B\0one\r\ntwo", 12));
  EXPECT_EQ(Datagram({"A", "B", "\n"}), std::string("A\0B\0", 4));
  EXPECT_EQ(Datagram({"", "", "x"}), std::string("\0\0x", 3));
}

}  // namespace
}  // namespace pelmora
