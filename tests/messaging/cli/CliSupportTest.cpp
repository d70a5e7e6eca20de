// Argument parsing and the listen line format of the command-line companion.

#include <gtest/gtest.h>

#include "CliSupport.h"
#include "ConfirmedSend.h"

namespace pelmora::cli {
namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseArguments(args); }

TEST(CliArguments, SendTakesOptionsThenTargetThenAllWordsAsText) {
  ParseResult r = Parse({"send", "--from", "TEJO", "--secure", "MIRLO", "hola", "--secure", "x"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->from, "TEJO");
  EXPECT_TRUE(r.options->secure);
  EXPECT_EQ(r.options->target, "MIRLO");
  EXPECT_EQ(r.options->text, "hola --secure x");  // after the target everything is text

  r = Parse({"send", "--", "--odd-name", "t"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->target, "--odd-name");
  EXPECT_FALSE(r.options->secure);
  EXPECT_EQ(r.options->from, "");

  r = Parse({"send", "MIRLO", ""});  // an empty text is a text
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->text, "");
}

TEST(CliArguments, SendInTheSessionForm) {
  ParseResult r =
      Parse({"send", "--session", "--address", "10.0.0.5", "--port", "139", "TEJO", "hola"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_TRUE(r.options->session);
  EXPECT_EQ(r.options->address, "10.0.0.5");
  EXPECT_EQ(r.options->port, 139);
  EXPECT_EQ(r.options->target, "TEJO");
  r = Parse({"send", "--session", "TEJO", "hola"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->address, "");
  EXPECT_FALSE(r.options->port);
  for (const auto& bad :
       std::vector<std::vector<std::string>>{{"send", "--session", "--secure", "TEJO", "x"},
                                             {"send", "--address", "10.0.0.5", "TEJO", "x"},
                                             {"send", "--session", "--port", "0", "TEJO", "x"},
                                             {"send", "--session", "--port", "65536", "TEJO", "x"},
                                             {"send", "--session", "--address", "", "TEJO", "x"},
                                             {"listen", "--session"}}) {
    EXPECT_FALSE(ParseArguments(bad).options) << bad[1] << " " << bad[2];
  }
}

TEST(CliArguments, DefaultsAndNumbers) {
  ParseResult r = Parse({"ping", "MIRLO"});
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->waitSeconds, 2.0);
  r = Parse({"query", "--wait", "0.5", "MIRLO"});
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->command, Command::Query);
  EXPECT_DOUBLE_EQ(r.options->waitSeconds, 0.5);
  r = Parse({"listen", "--secure", "--count", "3", "--timeout", "10"});
  ASSERT_TRUE(r.options);
  EXPECT_TRUE(r.options->secure);
  EXPECT_FALSE(r.options->utils);
  EXPECT_EQ(r.options->count, 3);
  EXPECT_EQ(r.options->timeoutSeconds, 10.0);
  r = Parse({"listen"});
  ASSERT_TRUE(r.options);
  EXPECT_FALSE(r.options->count);
  EXPECT_FALSE(r.options->timeoutSeconds);

  EXPECT_EQ(ParseSeconds("3."), 3.0);
  EXPECT_EQ(ParseSeconds(".25"), 0.25);
  for (const char* bad : {"", ".", "-1", "1e3", "1.2.3", " 1", "nan", "99999999999999999999"}) {
    EXPECT_FALSE(ParseSeconds(bad)) << bad;
  }
  for (const char* bad : {"", "0", "-3", "2x", "99999999999999999999"}) {
    EXPECT_FALSE(ParseCount(bad)) << bad;
  }
}

TEST(CliArguments, BadUsageGivesOneLineErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"shout", "x"},
      {"send"},
      {"send", "MIRLO"},
      {"send", "--from"},
      {"send", "--from", "", "MIRLO", "x"},
      {"send", "--wait", "1", "MIRLO", "x"},
      {"send", "--confirm", "--secure", "MIRLO", "x"},
      {"send", "--confirm", "--wait", "-1", "MIRLO", "x"},
      {"ping", "--confirm", "MIRLO"},
      {"send", "", "x"},
      {"ping"},
      {"ping", "A", "B"},
      {"ping", "--wait", "soon", "A"},
      {"ping", "--secure", "A"},
      {"query", "--wait"},
      {"listen", "extra"},
      {"listen", "--count", "0"},
      {"listen", "--timeout", "-1"},
      {"listen", "--from", "X"},
  };
  for (const auto& args : bad) {
    const ParseResult r = ParseArguments(args);
    EXPECT_FALSE(r.options) << (args.empty() ? "(none)" : args[0]);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
  }
  EXPECT_EQ(UsageLine().find('\n'), std::string::npos);
}

TEST(CliConfirm, WaitsOneSecondUnlessToldAndSaysWhatBecameOfTheMessage) {
  ParseResult r = Parse({"send", "--confirm", "MIRLO", "hola", "--confirm"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_TRUE(r.options->confirm);
  EXPECT_DOUBLE_EQ(r.options->waitSeconds, 1.0);
  EXPECT_EQ(r.options->text, "hola --confirm");
  r = Parse({"send", "--wait", "2.5", "--from", "TEJO", "--confirm", "MIRLO", "x"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_DOUBLE_EQ(r.options->waitSeconds, 2.5);
  EXPECT_FALSE(Parse({"send", "MIRLO", "x"}).options->confirm);

  // Windows-1252 target in, UTF-8 line out; the test LAN checks the other lines and statuses.
  EXPECT_EQ(ConfirmLine("PE\xD1"
                        "A",
                        pelmora::DeliveryOutcome::kNoAnswer),
            "PE\xC3\x91"
            "A: no answer, sent to the messenger slot");
}

TEST(CliListenLine, EscapesSoEveryMessageStaysOnOneLine) {
  EXPECT_EQ(EscapeField("a\\b"), "a\\\\b");
  EXPECT_EQ(EscapeField("one\r\ntwo\nthree\rfour"), "one\\ntwo\\nthree\\nfour");
  EXPECT_EQ(EscapeField("tab\there"), "tab\\there");
  EXPECT_EQ(EscapeField(std::string("z\x01", 2)), "z\\x01");
  // Windows-1252 in, UTF-8 out: "Señor" with n tilde (F1).
  EXPECT_EQ(ListenLine("secure", "TEJO", "MIRLO", "Se\xF1or\r\n\\"),
            "secure\tTEJO\tMIRLO\tSe\xC3\xB1or\\n\\\\");
}

}  // namespace
}  // namespace pelmora::cli
