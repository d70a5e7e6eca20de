#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "TempDirTest.h"
#include "model/Colors.h"
#include "model/IniDocument.h"
#include "model/SettingsStore.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

class SettingsStoreTest : public testing::TempDirTest {
 protected:
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / "pelmora"))
      names.push_back(e.path().filename());
    return names;
  }
};

TEST_F(SettingsStoreTest, KeepsWriteOrderAndFirstCaseAndLooksUpIgnoringCase) {
  MemorySettingsStore s;
  s.WriteString("NOMBRES", "ZORRO", "N");
  s.WriteString("NOMBRES", "alce", "S");
  s.WriteString("OPCIONES", "COLOR FONDO", "clBlack");
  s.WriteString("nombres", "Zorro", "S");  // same key: value replaced, place and case kept
  EXPECT_EQ(s.SectionKeys("NOMBRES"), (Keys{"ZORRO", "alce"}));
  EXPECT_EQ(s.ReadString("Nombres", "ALCE", "x"), "S");
  EXPECT_EQ(s.ReadString("NOMBRES", "zorro", "x"), "S");
  EXPECT_EQ(s.ReadString("opciones", "color fondo", "x"), "clBlack");
  EXPECT_EQ(s.Sections(), (Keys{"NOMBRES", "OPCIONES"}));

  // Absent sections and keys read as the default and list nothing.
  EXPECT_EQ(s.ReadString("GRUPOS", "X", "def"), "def");
  EXPECT_TRUE(s.SectionKeys("GRUPOS").empty());
  EXPECT_FALSE(s.SectionExists("GRUPOS"));

  // An erased section comes back at the end, empty of its old keys.
  s.EraseSection("nombres");
  EXPECT_FALSE(s.SectionExists("NOMBRES"));
  s.WriteString("NOMBRES", "B", "N");
  EXPECT_EQ(s.Sections(), (Keys{"OPCIONES", "NOMBRES"}));
  EXPECT_EQ(s.SectionKeys("NOMBRES"), (Keys{"B"}));

  // One key erased, by the store's own way and by the interface's default for other stores.
  s.WriteString("NOMBRES", "C", "S");
  s.WriteString("NOMBRES", "D", "N");
  s.EraseKey("nombres", "c");
  s.SettingsStore::EraseKey("NOMBRES", "d");
  s.SettingsStore::EraseKey("NOMBRES", "absent");
  EXPECT_EQ(s.SectionKeys("NOMBRES"), (Keys{"B"}));

  // Names that the file cannot hold are not taken.
  s.WriteString("", "K", "V");
  s.WriteString("NOMBRES", "", "V");
  EXPECT_EQ(s.Sections(), (Keys{"OPCIONES", "NOMBRES"}));
  EXPECT_EQ(s.SectionKeys("NOMBRES"), (Keys{"B"}));
}

TEST_F(SettingsStoreTest, AnyNameAndValueSurviveTheFileByteForByte) {
  const std::vector<std::string> names = {"A=B",
                                          "[X]",
                                          "100%",
                                          ";comment",
                                          "#hash",
                                          " lead",
                                          "trail ",
                                          "tab\there",
                                          "line\nbreak",
                                          "cr\rx",
                                          std::string("nul\0x", 5),
                                          "\x81\x8D\x8F\x90\x9D",
                                          "ESPA\xD1OL",
                                          "\x80uro",
                                          "\x7F",
                                          "%41",
                                          "a;b#c",
                                          "]",
                                          "="};
  const std::string path = PathOf("pelmora/pelmora.ini");
  {
    FileSettingsStore s(path);
    for (const std::string& n : names) s.WriteString("NOMBRES", n, n);
    for (const std::string& n : names) s.WriteString(n, "K", " value with = and [ ] ");
    ASSERT_TRUE(s.Save());
  }
  FileSettingsStore back(path);
  EXPECT_TRUE(back.Loaded());
  EXPECT_EQ(back.SectionKeys("NOMBRES"), names);
  for (const std::string& n : names) {
    EXPECT_EQ(back.ReadString("NOMBRES", n, "?absent"), n);
    EXPECT_EQ(back.ReadString(n, "K", "?absent"), " value with = and [ ] ") << n;
  }

  // The file is UTF-8 and the blanks inside names stay plain.
  FileSettingsStore plain(PathOf("pelmora/plain.ini"));
  plain.WriteString("OPCIONES", "COLOR FONDO", "clBlack");
  plain.WriteString("OPCIONES", "IDIOMA", "ESPA\xD1OL");
  plain.WriteString("DestinoRapido3", "TIPO_DESTINO", "NOMBRE");
  ASSERT_TRUE(plain.Save());
  EXPECT_EQ(ReadRaw(PathOf("pelmora/plain.ini")),
            "[OPCIONES]\nCOLOR FONDO=clBlack\nIDIOMA=ESPA\xC3\x91OL\n\n"
            "[DestinoRapido3]\nTIPO_DESTINO=NOMBRE\n");
}

// Random names and values of every byte: what a save writes, a load reads back exactly; random
// files never crash the reader.
TEST_F(SettingsStoreTest, RandomDocumentsSurviveTheFileAndRandomBytesAreRead) {
  std::mt19937 rng(20261208);
  auto randomText = [&](std::size_t maxLength) {
    std::string t(1 + rng() % maxLength, '\0');
    for (char& c : t) c = static_cast<char>(rng() % 4 == 0 ? rng() % 256 : 'A' + rng() % 26);
    return t;
  };
  for (int round = 0; round < 200; ++round) {
    IniDocument doc;
    const int sections = 1 + static_cast<int>(rng() % 5);
    for (int sct = 0; sct < sections; ++sct) {
      const std::string section = randomText(12);
      for (int k = static_cast<int>(rng() % 6); k >= 0; --k)
        doc.Set(section, randomText(12), rng() % 5 == 0 ? std::string() : randomText(20));
    }
    const std::string text = doc.Serialize();
    EXPECT_EQ(IniDocument::Parse(text), doc) << text;

    std::string noise(rng() % 400, '\0');
    for (char& c : noise)
      c = static_cast<char>(rng() % 6 == 0 ? "[]=%\n;"[rng() % 6] : rng() % 256);
    const IniDocument read = IniDocument::Parse(noise);
    // Whatever was read is written back in a form that reads the same.
    EXPECT_EQ(IniDocument::Parse(read.Serialize()), read);
    IniDocument::ParseLegacy(noise);
  }
}

TEST_F(SettingsStoreTest, EscapingWritesOnlyWhatWouldBreakTheSyntax) {
  EXPECT_EQ(EscapeIniName("CONTA BILIDAD"), "CONTA BILIDAD");
  EXPECT_EQ(EscapeIniName("A=B[C]%"), "A%3DB%5BC%5D%25");
  EXPECT_EQ(EscapeIniName(";x;"), "%3Bx;");
  EXPECT_EQ(EscapeIniName(" x "), "%20x%20");
  EXPECT_EQ(EscapeIniValue("a=b[c]"), "a=b[c]");
  EXPECT_EQ(EscapeIniValue("50%\n"), "50%25%0A");
  EXPECT_EQ(EscapeIniValue("\x81"), "%C2%81");
  // A "%" that we did not write is taken as it stands.
  EXPECT_EQ(UnescapeIniText("100%"), "100%");
  EXPECT_EQ(UnescapeIniText("%zz%4"), "%zz%4");
  EXPECT_EQ(UnescapeIniText("%41%c3%91"), "A\xD1");
}

TEST_F(SettingsStoreTest, DamagedFileLoadsWhatItCanAndIsNotRewrittenByOpening) {
  const std::string path = PathOf("damaged.ini");
  std::string bytes = "\xEF\xBB\xBFkey before any section=1\n";
  bytes += "[OPCIONES]\r\nRESTORE = NO \r\nline without equals\n\x01\x02\xFF\xFE garbage\n";
  bytes += "=empty key\n[]\nlost=1\n";
  bytes += "[NOMBRES\nTEJO=S\n";  // the section line never closed
  bytes += "BAD\xFFUTF8=x\n";
  bytes += std::string(1 << 20, 'K') + "=huge\n";  // over the line limit: skipped
  bytes += "[GRUPOS]\nAmigos=.\nAMIGOS=.\n[Amigos]\nTEJO=.\n[AMIGOS]\nMIRLO=.\n";
  bytes += "[OPCIONES]\nRESTORE=YES\nBEEP=NO";  // repeated section, no final line break
  WriteRaw(path, bytes);

  ::testing::internal::CaptureStderr();
  FileSettingsStore s(path);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(s.Loaded());
  EXPECT_EQ(s.Sections(), (Keys{"OPCIONES", "NOMBRES", "GRUPOS", "Amigos"}));
  EXPECT_EQ(s.ReadString("OPCIONES", "RESTORE", ""), "NO");  // the first of two wins
  // Two groups differing only in case (an old file) are the first one, with both's members.
  EXPECT_EQ(s.SectionKeys("GRUPOS"), (Keys{"Amigos"}));
  EXPECT_EQ(s.SectionKeys("Amigos"), (Keys{"TEJO", "MIRLO"}));
  EXPECT_NE(said.find("1 section(s)"), std::string::npos) << said;
  EXPECT_EQ(s.ReadString("OPCIONES", "BEEP", ""), "NO");
  EXPECT_EQ(s.ReadString("NOMBRES", "TEJO", ""), "S");
  // Not UTF-8, so the whole file is Windows-1252: the byte is a letter, not a "?".
  EXPECT_EQ(s.ReadString("NOMBRES", "BAD\xFFUTF8", ""), "x");
  EXPECT_EQ(s.SectionKeys("NOMBRES"), (Keys{"TEJO", "BAD\xFFUTF8"}));
  EXPECT_NE(said.find("1 line(s)"), std::string::npos) << said;
  EXPECT_NE(said.find("Windows-1252"), std::string::npos) << said;
  EXPECT_EQ(ReadRaw(path), bytes);

  // A folder in the file's place is unreadable: defaults, and never written.
  fs::create_directory(PathOf("folder.ini"));
  ::testing::internal::CaptureStderr();
  FileSettingsStore folder(PathOf("folder.ini"));
  folder.WriteString("NOMBRES", "X", "N");
  EXPECT_FALSE(folder.Save());
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("nothing is written there"),
            std::string::npos);
  EXPECT_EQ(folder.HowOpened(), FileSettingsStore::Opened::Unreadable);
  EXPECT_TRUE(fs::is_directory(PathOf("folder.ini")));
}

// The faults that lost a user's settings: an unreadable file replaced at the first arrival, a
// binary file escaped and written back, a Latin-1 file turned into question marks.
TEST_F(SettingsStoreTest, WhatCannotBeReadIsNeverWrittenOver) {
  fs::create_directories(PathOf("pelmora"));
  const std::string path = PathOf("pelmora/pelmora.ini");
  const std::string kept = "[OPCIONES]\nIDIOMA=ENGLISH\nCOLOR FONDO=clNavy\n[NOMBRES]\nTEJO=S\n";

  // Unreadable (mode 000). Root reads anything, so the store is opened by a child that is
  // nobody; the folder lets nobody write, as the user's own folder would.
  WriteRaw(path, kept);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ASSERT_EQ(::chmod(PathOf("pelmora").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(9);
    FileSettingsStore s(path);
    if (s.HowOpened() != FileSettingsStore::Opened::Unreadable) _exit(2);
    s.WriteString("NOMBRES", "NUEVO", "N");  // the arrival of an unknown sender
    _exit(s.Save() ? 3 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadRaw(path), kept);
  EXPECT_EQ(FilesInDir(), (Keys{"pelmora.ini"}));

  // Binary: kept aside under a name of its own just before the first save, never escaped into
  // the new file.
  const std::string binary(
      "\x7F"
      "ELF\x02\x01\x01\0\0\0[x]=y\n\xFF\xFE",
      18);
  WriteRaw(path, binary);
  ::testing::internal::CaptureStderr();
  FileSettingsStore s(path);
  EXPECT_EQ(s.HowOpened(), FileSettingsStore::Opened::NotIni);
  EXPECT_TRUE(s.Sections().empty());
  EXPECT_EQ(ReadRaw(path), binary);  // opening moves nothing
  s.WriteString("NOMBRES", "NUEVO", "N");
  ASSERT_TRUE(s.Save());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadRaw(path), "[NOMBRES]\nNUEVO=N\n");
  Keys files = FilesInDir();
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].rfind("pelmora.ini.damaged-", 0), 0u) << files[1];
  EXPECT_EQ(files[1].size(), std::string("pelmora.ini.damaged-YYYYMMDD-HHMMSS").size());
  EXPECT_EQ(ReadRaw(PathOf("pelmora/" + files[1])), binary);
  EXPECT_NE(said.find(path), std::string::npos) << said;
  EXPECT_NE(said.find(files[1]), std::string::npos) << said;
  // Text of which no line is usable is no ini file either; an empty file is one.
  WriteRaw(PathOf("words.ini"), "just some words\nno equals here\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(FileSettingsStore(PathOf("words.ini")).HowOpened(), FileSettingsStore::Opened::NotIni);
  ::testing::internal::GetCapturedStderr();
  WriteRaw(PathOf("empty.ini"), "\n; nothing yet\n");
  EXPECT_EQ(FileSettingsStore(PathOf("empty.ini")).HowOpened(), FileSettingsStore::Opened::Read);

  // Windows-1252: the accents are read as letters and saved as UTF-8.
  WriteRaw(path,
           "[NOMBRES]\r\nJOS\xC9=S\r\nPE\xD1"
           "A=N\r\nM\xDCLLER=N\r\n");
  ::testing::internal::CaptureStderr();
  FileSettingsStore latin(path);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Windows-1252"), std::string::npos);
  EXPECT_EQ(latin.SectionKeys("NOMBRES"), (Keys{"JOS\xC9",
                                                "PE\xD1"
                                                "A",
                                                "M\xDCLLER"}));
  latin.WriteString("NOMBRES", "NUEVO", "N");
  ASSERT_TRUE(latin.Save());
  EXPECT_EQ(ReadRaw(path),
            "[NOMBRES]\nJOS\xC3\x89=S\nPE\xC3\x91"
            "A=N\nM\xC3\x9CLLER=N\nNUEVO=N\n");
}

// The registry takes each write on its own; the file store must do the same, or a hand edit made
// while the program runs is lost at its next save.
TEST_F(SettingsStoreTest, SaveAppliesItsChangesToTheFileAsItIsNow) {
  const std::string path = PathOf("pelmora/pelmora.ini");
  {
    FileSettingsStore first(path);
    first.WriteString("OPCIONES", "BEEP", "YES");
    first.WriteString("OPCIONES", "HOTKEY", "N");
    first.WriteString("NOMBRES", "TEJO", "S");
    first.WriteString("GRUPOS", "VIEJO", ".");
    first.WriteString("VIEJO", "TEJO", ".");
    ASSERT_TRUE(first.Save());
  }
  FileSettingsStore s(path);
  // The user edits the file while the program runs.
  WriteRaw(path,
           "[OPCIONES]\nBEEP=YES\nHOTKEY=Q\nMASTER=YES\nNOTIFICAR=NO\nIDIOMA=DEUTSCH\n"
           "[NOMBRES]\nTEJO=S\nA MANO=N\n[GRUPOS]\nVIEJO=.\n[VIEJO]\nTEJO=.\n");
  s.WriteString("NOMBRES", "NUEVO", "N");
  s.WriteString("OPCIONES", "HOTKEY", "K");  // both changed it: the program wins
  s.EraseKey("NOMBRES", "TEJO");
  s.EraseSection("VIEJO");
  s.EraseKey("GRUPOS", "VIEJO");
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadRaw(path),
            "[OPCIONES]\nBEEP=YES\nHOTKEY=K\nMASTER=YES\nNOTIFICAR=NO\nIDIOMA=DEUTSCH\n\n"
            "[NOMBRES]\nA MANO=N\nNUEVO=N\n\n[GRUPOS]\n");
  // Memory now holds the file, and a save with nothing to write keeps a later edit too.
  EXPECT_EQ(s.ReadString("OPCIONES", "MASTER", ""), "YES");
  EXPECT_FALSE(s.Unsaved());
  WriteRaw(path, "[OPCIONES]\nBEEP=NO\n");
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadRaw(path), "[OPCIONES]\nBEEP=NO\n");
  // The file gone meanwhile: the changes since go into a new one.
  fs::remove(path);
  s.WriteString("NOMBRES", "OTRO", "N");
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadRaw(path), "[NOMBRES]\nOTRO=N\n");
  EXPECT_EQ(s.SavesWritten(), 3);
}

TEST_F(SettingsStoreTest, SaveCreatesPrivateFolderAndFileAndLeavesNoTemporaryFile) {
  const std::string path = PathOf("pelmora/pelmora.ini");
  FileSettingsStore s(path);
  EXPECT_FALSE(s.Loaded());
  EXPECT_FALSE(fs::exists(path));  // opening alone writes nothing
  s.WriteString("OPCIONES", "BEEP", "YES");
  ASSERT_TRUE(s.Save());
  struct stat st {};
  ASSERT_EQ(::stat(PathOf("pelmora").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(FilesInDir(), (Keys{"pelmora.ini"}));
}

TEST_F(SettingsStoreTest, FailedSaveKeepsTheOldFileAndMemoryAndSaysSoOnce) {
  const std::string path = PathOf("pelmora/pelmora.ini");
  FileSettingsStore s(path);
  s.WriteString("OPCIONES", "BEEP", "YES");
  ASSERT_TRUE(s.Save());
  const std::string good = ReadRaw(path);

  // A file size limit makes the writes fail the way a full disk does, also for root.
  s.WriteString("NOMBRES", std::string(60000, 'N'), "N");
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ::testing::internal::CaptureStderr();
  const bool first = s.Save();
  const bool second = s.Save();
  const std::string said = ::testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(first);
  EXPECT_FALSE(second);
  EXPECT_EQ(ReadRaw(path), good);
  EXPECT_EQ(FilesInDir(), (Keys{"pelmora.ini"}));  // the torn temporary file is gone
  EXPECT_EQ(s.ReadString("NOMBRES", std::string(60000, 'N'), ""), "N");
  // One line for the run of failures, not one per save.
  EXPECT_NE(said.find("not saved"), std::string::npos);
  EXPECT_EQ(said.find("not saved"), said.rfind("not saved"));

  // Once saving works again the whole memory reaches the file.
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(FileSettingsStore(path).ReadString("NOMBRES", std::string(60000, 'N'), ""), "N");
}

TEST_F(SettingsStoreTest, KillDuringSaveLeavesTheOldOrTheNewFileNeverAMix) {
  const std::string path = PathOf("pelmora/pelmora.ini");
  FileSettingsStore before(path);
  before.WriteString("OPCIONES", "GEN", "old");
  ASSERT_TRUE(before.Save());
  const std::string oldText = ReadRaw(path);

  FileSettingsStore after(path);
  after.WriteString("OPCIONES", "GEN", "new");
  for (int i = 0; i < 20000; ++i) after.WriteString("NOMBRES", "NAME" + std::to_string(i), "N");
  const std::string newText = after.Document().Serialize();

  for (int delayUs : {0, 2000, 8000, 30000}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) after.Save();
    }
    usleep(static_cast<useconds_t>(delayUs));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = ReadRaw(path);
    EXPECT_TRUE(now == oldText || now == newText) << "after " << delayUs << " us";
    // A temporary file left by the killed save is never taken for the settings.
    EXPECT_EQ(FileSettingsStore(path).ReadString("OPCIONES", "GEN", ""),
              now == oldText ? "old" : "new");
  }
}

TEST_F(SettingsStoreTest, SaveKeepsASymbolicLinkAndOpeningClearsStaleTemporaryFiles) {
  fs::create_directories(PathOf("pelmora"));
  fs::create_directories(PathOf("dotfiles"));
  const std::string real = PathOf("dotfiles/pelmora.ini");
  WriteRaw(real, "[OPCIONES]\nBEEP=NO\n");
  const std::string path = PathOf("pelmora/pelmora.ini");
  fs::create_symlink(real, path);
  // Left by saves that were killed: an old one, and one that may still be in progress.
  WriteRaw(PathOf("pelmora/pelmora.ini.a1B2c3"), "[OPCIONES]\nBE");
  fs::last_write_time(PathOf("pelmora/pelmora.ini.a1B2c3"),
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
  WriteRaw(PathOf("pelmora/pelmora.ini.d4E5f6"), "[OPC");

  FileSettingsStore s(path);
  EXPECT_EQ(s.ReadString("OPCIONES", "BEEP", ""), "NO");
  EXPECT_FALSE(fs::exists(PathOf("pelmora/pelmora.ini.a1B2c3")));
  EXPECT_TRUE(fs::exists(PathOf("pelmora/pelmora.ini.d4E5f6")));
  s.WriteString("OPCIONES", "BEEP", "YES");
  ASSERT_TRUE(s.Save());
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(ReadRaw(real), "[OPCIONES]\nBEEP=YES\n");
}

TEST_F(SettingsStoreTest, LegacyIniFollowsTheWindowsRules) {
  const std::string path = PathOf("vespra2.ini");
  WriteRaw(path,
           "; written by the old program\r\n"
           "[ Opciones ]\r\n"
           "  restore =  NO  \r\n"
           "Idioma=ESPA\xD1OL\r\n"
           "COLOR FONDO=\"clNavy\"\r\n"
           "RESTORE=YES\r\n"
           "junk line\r\n"
           "[NOMBRES]\r\n"
           "Tejo=S\r\n"
           "brezo = N\r\n"
           "[nombres]\r\n"
           "MIRLO=N");
  MemorySettingsStore s;
  ASSERT_TRUE(ReadLegacyIni(path, s));
  EXPECT_EQ(s.ReadString("OPCIONES", "RESTORE", ""), "NO");
  EXPECT_EQ(s.ReadString("OPCIONES", "IDIOMA", ""), "ESPA\xD1OL");  // the byte stays as it was
  EXPECT_EQ(s.ReadString("OPCIONES", "COLOR FONDO", ""), "clNavy");
  EXPECT_EQ(s.SectionKeys("NOMBRES"), (Keys{"Tejo", "brezo", "MIRLO"}));
  // Saved again by an editor: UTF-8 or UTF-16 with their byte-order marks.
  WriteRaw(path, "\xEF\xBB\xBF[OPCIONES]\r\nIDIOMA=ESPA\xC3\x91OL\r\n");
  ASSERT_TRUE(ReadLegacyIni(path, s));
  EXPECT_EQ(s.ReadString("OPCIONES", "IDIOMA", ""), "ESPA\xD1OL");
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[OPCIONES]\r\nIDIOMA=ESPA\xD1OL\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  WriteRaw(path, utf16);
  ASSERT_TRUE(ReadLegacyIni(path, s));
  EXPECT_EQ(s.ReadString("OPCIONES", "IDIOMA", ""), "ESPA\xD1OL");

  EXPECT_FALSE(ReadLegacyIni(PathOf("missing.ini"), s));
  EXPECT_TRUE(s.Sections().empty());
}

TEST_F(SettingsStoreTest, FolderFollowsXdgConfigHome) {
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = oldConfig != nullptr ? oldConfig : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome != nullptr ? oldHome : "";
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(SettingsFilePath(), "/cfg/pelmora/pelmora.ini");
  EXPECT_EQ(LegacySettingsFilePath(), "/cfg/pelmora/vespra2.ini");
  setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/pelmora/pelmora.ini");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFolder(), "/home/someone/.config/pelmora");
  if (oldConfig != nullptr) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  if (oldHome != nullptr) setenv("HOME", savedHome.c_str(), 1);
}

TEST(ColorNamesTest, WritesNamesOrHexAndReadsNamesAndNumbers) {
  EXPECT_EQ(ColorToString(clSilver), "clSilver");
  EXPECT_EQ(ColorToString(clNone), "clNone");
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(ColorToString(clDefault), "$20000000");  // has no name

  EXPECT_EQ(StringToColor("clRed"), clRed);
  EXPECT_EQ(StringToColor("CLRED"), clRed);
  EXPECT_EQ(StringToColor(" clinfobk "), kSystemColorFlag | 24);
  EXPECT_EQ(StringToColor("$FF"), 0xFFu);
  EXPECT_EQ(StringToColor("$00ff8000"), 0xFF8000u);
  EXPECT_EQ(StringToColor("255"), 255u);
  EXPECT_EQ(StringToColor("-2147483633"), clBtnFace);
  for (const char* bad :
       {"", "clPink", "$", "$123456789", "$12G", "4294967296", "12abc", "-", "0x10", "--1"}) {
    EXPECT_EQ(StringToColor(bad), std::nullopt) << bad;
  }
  // Every name reads back as the value it is written for.
  for (const ColorName& c : ColorNameTable())
    EXPECT_EQ(StringToColor(ColorToString(c.Value)), c.Value);
}

}  // namespace
}  // namespace pelmora
