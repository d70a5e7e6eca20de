#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "TempDirTest.h"
#include "messaging/LostMessageRecovery.h"
#include "messaging/Variables.h"
#include "model/MessageFile.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Line = std::tuple<std::string, std::string, std::string, int>;

class LostMessageRecoveryTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    path_ = PathOf("lastmsgs.vsp");
  }

  RecoveryResult Recover(int* shown = nullptr) {
    return RecoverLostMessages(
        path_,
        [this](const std::string& a, const std::string& b, const std::string& t, int i) {
          lines_.emplace_back(a, b, t, i);
        },
        shown);
  }

  std::string path_;
  std::vector<Line> lines_;
};

TEST_F(LostMessageRecoveryTest, ShowsRecordsOldestFirstThenDeletesTheFile) {
  std::string bytes = EncodeMessageRecord(kPaletteReceived, "ZORRO", "TEJO", "primero");
  bytes +=
      EncodeMessageRecord(kPaletteSecure, "ALCE", "PRUEBAS", std::string("dos\r\nl\0neas", 11));
  // A kind that is no palette index would be drawn in a colour never set (black on black).
  bytes += EncodeMessageRecord(200, "X", "Y", "tercero");
  bytes += EncodeMessageRecord(kPaletteSystem, "S", "T", "cuarto");
  std::ofstream(path_, std::ios::binary) << bytes;
  int shown = 0;
  EXPECT_EQ(Recover(&shown), RecoveryResult::Recovered);
  EXPECT_EQ(shown, 4);
  EXPECT_EQ(lines_, (std::vector<Line>{
                        {"ZORRO", "TEJO", "primero", kPaletteReceived},
                        {"ALCE", "PRUEBAS", std::string("dos\r\nl\0neas", 11), kPaletteSecure},
                        {"X", "Y", "tercero", kPaletteReceived},
                        {"S", "T", "cuarto", kPaletteSystem}}));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(LostMessageRecoveryTest, EmptyMissingAndUnreadableFiles) {
  EXPECT_EQ(Recover(), RecoveryResult::NoFile);

  std::ofstream(path_, std::ios::binary).close();
  EXPECT_EQ(Recover(), RecoveryResult::Recovered);
  EXPECT_TRUE(lines_.empty());
  EXPECT_FALSE(fs::exists(path_));

  // A record cut short by a crash still shows what it holds.
  std::ofstream(path_, std::ios::binary)
      << EncodeMessageRecord(3, "ZORRO", "TEJO", "cortado").substr(0, 15);
  EXPECT_EQ(Recover(), RecoveryResult::Recovered);
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(std::get<0>(lines_[0]), "ZORRO");
  lines_.clear();

  // What cannot be opened is kept, and said.
  fs::create_directory(path_);
  std::ofstream(path_ + "/inside", std::ios::binary) << "x";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Recover(), RecoveryResult::Unreadable);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("not recovered"), std::string::npos);
  EXPECT_TRUE(lines_.empty());
  EXPECT_TRUE(fs::exists(path_ + "/inside"));
}

}  // namespace
}  // namespace pelmora
