#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "transport/MachineIdentity.h"

namespace pelmora {
namespace {

TEST(MachineIdentity, ComputerNameIsTheFirstLabelUpperCasedAndCut) {
  EXPECT_EQ(ComputerNameFromHostName("tejo"), "TEJO");
  EXPECT_EQ(ComputerNameFromHostName("tejo.oficina.example"), "TEJO");
  EXPECT_EQ(ComputerNameFromHostName("a-very-long-host-name-indeed"), "A-VERY-LONG-HOS");
  EXPECT_EQ(ComputerNameFromHostName(""), "");
}

TEST(MachineIdentity, IniValueIgnoresCaseBlanksAndComments) {
  const std::string ini =
      "; comment\n[otro]\nPUERTO=1\n[ red ]\r\n  puerto =  4000 \r\n# GRUPO_TRABAJO = X\n"
      "GRUPO_TRABAJO=Oficina Norte\n[global]\nworkgroup = samba\n";
  EXPECT_EQ(IniValue(ini, "RED", "PUERTO"), "4000");
  EXPECT_EQ(IniValue(ini, "RED", "GRUPO_TRABAJO"), "Oficina Norte");
  EXPECT_EQ(IniValue(ini, "otro", "puerto"), "1");
  EXPECT_EQ(IniValue(ini, "RED", "OEM"), std::nullopt);
  EXPECT_EQ(IniValue(ini, "GLOBAL", "WORKGROUP"), "samba");
  EXPECT_EQ(IniValue("", "RED", "X"), std::nullopt);
  EXPECT_EQ(IniValue("[RED\nX=1", "RED", "X"), std::nullopt);
}

TEST(MachineIdentity, ConfigurationFileWins) {
  const auto id = MakeMachineIdentity(
      "mirlo.lan",
      std::string("[RED]\nGRUPO_TRABAJO=oficina\nPUERTO=138\nOEM=437\nPUERTO_SESION=139\n"),
      std::string("[global]\nworkgroup = samba\n"));
  EXPECT_EQ(id.sessionPort, 139);
  EXPECT_EQ(id.computerName, "MIRLO");
  EXPECT_EQ(id.workgroup, "OFICINA");
  EXPECT_EQ(id.port, 138);
  EXPECT_EQ(id.oem, text::OemCodePage::Cp437);
}

// The configuration files are UTF-8 on Linux; the program holds Windows-1252. A file in a
// single-byte code page (not valid UTF-8) is taken byte for byte.
TEST(MachineIdentity, NamesFromTheFilesBecomeWindows1252) {
  const auto utf8 = MakeMachineIdentity("tejo",
                                        std::string("[RED]\nGRUPO_TRABAJO = OFICI\xC3\x91"
                                                    "A\n"),
                                        std::nullopt);
  EXPECT_EQ(utf8.workgroup,
            "OFICI\xD1"
            "A");
  const auto latin = MakeMachineIdentity("tejo",
                                         std::string("[RED]\nGRUPO_TRABAJO = ofici\xD1"
                                                     "a\n"),
                                         std::nullopt);
  EXPECT_EQ(latin.workgroup,
            "OFICI\xD1"
            "A");
  const auto samba = MakeMachineIdentity("tejo", std::nullopt,
                                         std::string("[global]\nworkgroup = se\xC3\xB1or\n"));
  EXPECT_EQ(samba.workgroup, "SE\xF1OR");
  // Cut sequences are not UTF-8: bytes kept.
  const auto cut =
      MakeMachineIdentity("tejo", std::string("[RED]\nGRUPO_TRABAJO = AB\xC3\n"), std::nullopt);
  EXPECT_EQ(cut.workgroup, "AB\xC3");
}

TEST(MachineIdentity, SambaWorkgroupThenDefaults) {
  auto id =
      MakeMachineIdentity("x", std::string("[RED]\nPUERTO=2000\n"),
                          std::string("[homes]\nworkgroup=no\n[global]\n  workgroup = casa\n"));
  EXPECT_EQ(id.workgroup, "CASA");
  EXPECT_EQ(id.port, 2000);
  id = MakeMachineIdentity("x", std::nullopt, std::nullopt);
  EXPECT_EQ(id.workgroup, "WORKGROUP");
  EXPECT_EQ(id.port, 13138);
  EXPECT_EQ(id.oem, text::OemCodePage::Cp850);
  // An empty workgroup in the file is no workgroup.
  id = MakeMachineIdentity("x", std::string("[RED]\nGRUPO_TRABAJO=\n"),
                           std::string("[global]\nworkgroup=s\n"));
  EXPECT_EQ(id.workgroup, "S");
}

TEST(MachineIdentity, BadNumbersFallBackToTheDefaults) {
  for (const char* bad : {"PUERTO=0\nOEM=852", "PUERTO=65536\nOEM=abc",
                          "PUERTO=12x\nOEM=", "PUERTO=-5\nOEM=8500000000000"}) {
    const auto id = MakeMachineIdentity("x", std::string("[RED]\n") + bad, std::nullopt);
    EXPECT_EQ(id.port, 13138) << bad;
    EXPECT_EQ(id.oem, text::OemCodePage::Cp850) << bad;
  }
  // The session port: 13139 unless a port is given; 0 turns the session form off.
  for (const char* bad : {"PUERTO_SESION=-1", "PUERTO_SESION=65536", "PUERTO_SESION=x"})
    EXPECT_EQ(MakeMachineIdentity("x", std::string("[RED]\n") + bad, std::nullopt).sessionPort,
              13139)
        << bad;
  EXPECT_EQ(
      MakeMachineIdentity("x", std::string("[RED]\nPUERTO_SESION=0"), std::nullopt).sessionPort, 0);
}

TEST(MachineIdentity, DifusionListsAddressesAndNamesEachBadEntry) {
  const auto id = MakeMachineIdentity(
      "tejo",
      std::string("[RED]\nDIFUSION = 10.20.0.255,10.30.0.17 , ,10.20.0.255, 10.30.0.300, 10.30.0, "
                  "10.1.2.3.4, 0x0a.0.0.1, 10.0.0.1x, 127.0.0.1, 0.0.0.0, 224.0.0.9, "
                  "255.255.255.255, 1.2.3.\x1b[4\n"),
      std::nullopt);
  // Order kept, the repeat dropped, the empty entry ignored; the rest of the file still counts.
  EXPECT_EQ(id.extraAddresses, (std::vector<std::uint32_t>{0x0A1400FF, 0x0A1E0011}));
  EXPECT_EQ(id.workgroup, "WORKGROUP");
  const std::vector<std::string> rejected = {
      "\"10.30.0.300\" is not an IPv4 address",
      "\"10.30.0\" is not an IPv4 address",
      "\"10.1.2.3.4\" is not an IPv4 address",
      "\"0x0a.0.0.1\" is not an IPv4 address",
      "\"10.0.0.1x\" is not an IPv4 address",
      "\"127.0.0.1\" cannot be sent to (loopback)",
      "\"0.0.0.0\" cannot be sent to (no machine's address)",
      "\"224.0.0.9\" cannot be sent to (multicast or reserved)",
      "\"255.255.255.255\" cannot be sent to (multicast or reserved)",
      "\"1.2.3.?[4\" is not an IPv4 address"};  // no control character reaches the terminal
  EXPECT_EQ(id.rejectedAddresses, rejected);
  // Only in [RED]; an empty key lists nothing.
  const auto other = MakeMachineIdentity(
      "tejo", std::string("[OTRA]\nDIFUSION = 10.1.1.1\n[RED]\nDIFUSION =\n"), std::nullopt);
  EXPECT_TRUE(other.extraAddresses.empty() && other.rejectedAddresses.empty());
  EXPECT_EQ(Ipv4Text(0xC0A807FF), "192.168.7.255");
}

TEST(MachineIdentity, LoadReadsTheFileNamedByTheEnvironment) {
  const std::string path = "/tmp/pelmora-identity-" + std::to_string(getpid()) + ".conf";
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("[RED]\nGRUPO_TRABAJO = patio\nPUERTO = 4242\n", f);
  std::fclose(f);
  const char* before = std::getenv("PELMORA_MACHINE_CONF");
  const std::string saved = before ? before : "";
  setenv("PELMORA_MACHINE_CONF", path.c_str(), 1);
  const auto id = LoadMachineIdentity();
  if (before)
    setenv("PELMORA_MACHINE_CONF", saved.c_str(), 1);
  else
    unsetenv("PELMORA_MACHINE_CONF");
  std::remove(path.c_str());
  EXPECT_EQ(id.workgroup, "PATIO");
  EXPECT_EQ(id.port, 4242);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  EXPECT_EQ(id.computerName, ComputerNameFromHostName(host));
}

TEST(MachineIdentity, ConfigurationIsReadUpToItsLimitFromTheFileInEffect) {
  const std::string path = "/tmp/pelmora-identity-large-" + std::to_string(getpid()) + ".conf";
  {
    // A comment line fills the first MiB; the key after it lies beyond what is read.
    std::ofstream out(path, std::ios::binary);
    out << "[RED]\nPUERTO = 4242\n;" << std::string(kLargestConfigFile, 'x') << "\nOEM = 437\n";
  }
  const auto text = ReadConfigFile(path);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), kLargestConfigFile);
  const MachineIdentity id = MakeMachineIdentity("tejo", text, std::nullopt);
  EXPECT_EQ(id.port, 4242);
  EXPECT_EQ(id.oem, text::OemCodePage::Cp850);

  const char* before = std::getenv(kMachineConfVariable);
  const std::string saved = before ? before : "";
  setenv(kMachineConfVariable, path.c_str(), 1);
  EXPECT_EQ(MachineConfPath(), path);
  if (before)
    setenv(kMachineConfVariable, saved.c_str(), 1);
  else
    unsetenv(kMachineConfVariable);
  std::remove(path.c_str());
  EXPECT_FALSE(ReadConfigFile(path).has_value());
}

}  // namespace
}  // namespace pelmora
