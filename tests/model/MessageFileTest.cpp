#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDirTest.h"
#include "model/MessageFile.h"

namespace pelmora {
namespace {

class MessageFileTest : public testing::TempDirTest {
 protected:
  // The file `name` in the test's folder with these bytes; its path.
  std::string WriteFile(const std::string& name, const std::string& bytes) const {
    const std::string p = PathOf(name);
    WriteRaw(p, bytes);
    return p;
  }

  static std::vector<LostMessage> ReadAll(const std::string& path) {
    TReadMessageFile r(path);
    std::vector<LostMessage> out;
    while (auto m = r.ReadNext()) out.push_back(*m);
    // Once it said the end, it keeps saying so.
    EXPECT_FALSE(r.ReadNext());
    return out;
  }
};

TEST_F(MessageFileTest, RecordLayoutBytes) {
  EXPECT_EQ(EncodeMessageRecord(3, "", "", ""), std::string("\x03\0\0\0\0\0\0", 7));
  EXPECT_EQ(EncodeMessageRecord(4, "AB", "C", "hi"), std::string("\x04\x02\x00"
                                                                 "AB"
                                                                 "\x01\x00"
                                                                 "C"
                                                                 "\x02\x00"
                                                                 "hi",
                                                                 12));
  // Lengths are little-endian 16 bits.
  const std::string rec = EncodeMessageRecord(3, "", "", std::string(0x0102, 'x'));
  EXPECT_EQ(rec.substr(5, 2), "\x02\x01");
}

TEST_F(MessageFileTest, EmptyFileHasNoRecord) {
  TReadMessageFile r(WriteFile("empty", ""));
  std::string s = "keep", t = "keep", x = "keep";
  std::uint8_t k = 9;
  EXPECT_FALSE(r.ReadNext(s, t, k, x));
  EXPECT_EQ(s, "keep");
  EXPECT_EQ(k, 9);
}

TEST_F(MessageFileTest, RecordsComeBackInOrderByteForByte) {
  const std::string text("line one\r\nline\0two", 18);
  const std::string path = WriteFile("two", EncodeMessageRecord(3, "TEJO", "SAUCE", text) +
                                                EncodeMessageRecord(5, "", "", "") +
                                                EncodeMessageRecord(255, "\xD1U", "GRUPO", "\xE1"));
  const auto all = ReadAll(path);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0], (LostMessage{3, "TEJO", "SAUCE", text}));
  EXPECT_EQ(all[1], (LostMessage{5, "", "", ""}));  // a kind outside 3/4 is passed on
  EXPECT_EQ(all[2], (LostMessage{255, "\xD1U", "GRUPO", "\xE1"}));
}

TEST_F(MessageFileTest, TruncatedRecordAtEveryCut) {
  const LostMessage first{3, "A", "B", "C"};
  const LostMessage last{4, "SENDER", "TO", "some text"};
  const std::string head =
      EncodeMessageRecord(first.Kind, first.Sender, first.Recipient, first.Text);
  const std::string rec = EncodeMessageRecord(last.Kind, last.Sender, last.Recipient, last.Text);
  for (std::size_t cut = 1; cut < rec.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    const auto all = ReadAll(WriteFile("cut", head + rec.substr(0, cut)));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], first);
    const LostMessage& m = all[1];
    EXPECT_EQ(m.Kind, 4);
    // Each field is a prefix of the real one, and the bytes read add up to what the file had.
    EXPECT_EQ(last.Sender.compare(0, m.Sender.size(), m.Sender), 0);
    EXPECT_EQ(last.Recipient.compare(0, m.Recipient.size(), m.Recipient), 0);
    EXPECT_EQ(last.Text.compare(0, m.Text.size(), m.Text), 0);
    EXPECT_LT(m.Text.size(), last.Text.size());
  }
  // A length that promises more than the file holds.
  const auto all = ReadAll(WriteFile("long", std::string("\x03\xFF\xFF"
                                                         "abc",
                                                         6)));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0], (LostMessage{3, "abc", "", ""}));
}

TEST_F(MessageFileTest, UnopenableFileNamesThePath) {
  const std::string missing = PathOf("no-such-file.vsp");
  try {
    TReadMessageFile r(missing);
    FAIL() << "opened a missing file";
  } catch (const EMessageFile& e) {
    EXPECT_EQ(e.Path(), missing);
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  EXPECT_THROW(TReadMessageFile{dir_.string()}, EMessageFile);
}

TEST_F(MessageFileTest, WriterProducesTheLayoutAndReplacesOldFiles) {
  const std::string path = PathOf("sub/dir/lastmsgs.vsp");  // folders made on demand
  WriteFile("dummy", "");
  WriteMessageFile w;
  EXPECT_FALSE(w.Append(3, "A", "B", "C"));  // nothing open
  ASSERT_TRUE(w.Create(path));
  ASSERT_TRUE(w.Append(3, "TEJO", "SAUCE", "hola"));
  // Readable while the writer keeps it open.
  EXPECT_EQ(ReadAll(path).size(), 1u);
  ASSERT_TRUE(w.Append(LostMessage{4, "X", "Y", std::string("a\0b", 3)}));
  w.Close();
  EXPECT_EQ(ReadRaw(path), EncodeMessageRecord(3, "TEJO", "SAUCE", "hola") +
                               EncodeMessageRecord(4, "X", "Y", std::string("a\0b", 3)));
  // Creating again, even while open, starts an empty file.
  ASSERT_TRUE(w.Create(path));
  ASSERT_TRUE(w.Create(path));
  EXPECT_TRUE(ReadAll(path).empty());
  EXPECT_TRUE(w.CloseAndDelete());
  EXPECT_FALSE(MessageFileExists(path));
  EXPECT_TRUE(DeleteMessageFile(path));  // already gone is fine
  EXPECT_FALSE(w.Create(PathOf("dummy/not-a-folder/x")));
}

TEST_F(MessageFileTest, OpenForAppendKeepsWhatIsThereAndNeverEmptiesAnOpenFile) {
  const std::string path = PathOf("state/lastmsgs.vsp");
  WriteMessageFile w;
  // Missing: created, folder too.
  ASSERT_TRUE(w.OpenForAppend(path));
  ASSERT_TRUE(w.Append(3, "TEJO", "SAUCE", "uno"));
  // Opening the same file again while it is open (the banner after Esc) keeps its records.
  ASSERT_TRUE(w.OpenForAppend(path));
  ASSERT_TRUE(w.Append(4, "MIRLO", "SAUCE", "dos"));
  w.Close();
  // A file left from before gets the new records after its own.
  WriteMessageFile later;
  ASSERT_TRUE(later.OpenForAppend(path));
  ASSERT_TRUE(later.Append(3, "BREZO", "SAUCE", "tres"));
  EXPECT_EQ(ReadRaw(path), EncodeMessageRecord(3, "TEJO", "SAUCE", "uno") +
                               EncodeMessageRecord(4, "MIRLO", "SAUCE", "dos") +
                               EncodeMessageRecord(3, "BREZO", "SAUCE", "tres"));
  EXPECT_TRUE(later.CloseAndDelete());
  EXPECT_FALSE(MessageFileExists(path));
  WriteFile("plain", "");
  EXPECT_FALSE(later.OpenForAppend(PathOf("plain/x")));
  EXPECT_FALSE(later.IsOpen());
}

TEST_F(MessageFileTest, OverlongFieldIsCutAndTheFileStaysInStep) {
  const std::string path = PathOf("big");
  WriteMessageFile w;
  ASSERT_TRUE(w.Create(path));
  ASSERT_TRUE(w.Append(3, "S", "R", std::string(70000, 'x')));
  ASSERT_TRUE(w.Append(4, "NEXT", "R", "after"));
  w.Close();
  const auto all = ReadAll(path);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Text, std::string(kMaxRecordField, 'x'));
  EXPECT_EQ(all[1], (LostMessage{4, "NEXT", "R", "after"}));
}

TEST_F(MessageFileTest, PathFollowsTheUsersStateFolder) {
  const char* oldState = std::getenv("XDG_STATE_HOME");
  const std::string saved = oldState ? oldState : "";
  setenv("XDG_STATE_HOME", "/some/state", 1);
  EXPECT_EQ(LostMessagesPath(), "/some/state/pelmora/lastmsgs.vsp");
  setenv("XDG_STATE_HOME", "relative", 1);  // ignored, as XDG says
  const std::string fallback = LostMessagesPath();
  EXPECT_NE(fallback.find("/.local/state/pelmora/lastmsgs.vsp"), std::string::npos) << fallback;
  if (oldState)
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_STATE_HOME");
  EXPECT_STREQ(kWindowsLostMessagesPath, "c:\\lastmsgs.vsp");
}

}  // namespace
}  // namespace pelmora
