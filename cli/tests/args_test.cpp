// The argument parser and the dispatcher, in process.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "args.h"
#include "command.h"

namespace zentor::cli {
namespace {

const std::vector<OptionSpec> kKnown = {
    {"home", "DIR", ""}, {"tag", "NAME", ""}, {"deleted", "", ""}, {"help", "", ""}};

TEST(ParseArgs, SeparatesOptionsFromPositionals) {
  ParsedArgs p;
  std::string error;
  ASSERT_TRUE(parseArgs({"dbf", "--home", "/x", "dump", "--tag=ZUNAME", "KND.DBF", "--deleted"}, kKnown, &p, &error))
      << error;
  EXPECT_EQ(p.positional, (std::vector<std::string>{"dbf", "dump", "KND.DBF"}));
  EXPECT_EQ(p.value("home"), "/x");
  EXPECT_EQ(p.value("tag"), "ZUNAME");
  EXPECT_TRUE(p.has("deleted"));
  EXPECT_FALSE(p.value("deleted").has_value());
  EXPECT_FALSE(p.has("help"));
}

TEST(ParseArgs, DoubleDashEndsOptionsAndDashAloneIsPositional) {
  ParsedArgs p;
  std::string error;
  ASSERT_TRUE(parseArgs({"-", "--", "--deleted", "-h"}, kKnown, &p, &error)) << error;
  EXPECT_EQ(p.positional, (std::vector<std::string>{"-", "--deleted", "-h"}));
  EXPECT_FALSE(p.has("deleted"));
}

TEST(ParseArgs, EmptyInlineValueIsAValue) {
  ParsedArgs p;
  std::string error;
  ASSERT_TRUE(parseArgs({"--tag="}, kKnown, &p, &error)) << error;
  EXPECT_EQ(p.value("tag"), "");
}

TEST(ParseArgs, Refusals) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--bogus=1"}, "unknown option --bogus"},
      {{"-x"}, "unknown option -x"},
      {{"--tag"}, "option --tag needs a value (NAME)"},
      {{"--deleted=yes"}, "option --deleted takes no value"},
      {{"--tag", "A", "--tag=B"}, "option --tag given twice"},
  };
  for (const auto& c : cases) {
    ParsedArgs p;
    std::string error;
    EXPECT_FALSE(parseArgs(c.args, kKnown, &p, &error)) << c.args[0];
    EXPECT_EQ(error, c.error);
  }
}

// The parser knows the union of all commands' options, so one name must mean the same thing
// (flag or valued) everywhere, and no command may shadow a global option.
TEST(CommandTable, OptionNamesAreConsistentAndCommandsUnique) {
  std::map<std::string, bool> valued;
  for (const auto& o : globalOptions()) valued[std::string(o.name)] = o.takesValue();
  std::set<std::string> words;
  for (const auto& c : allCommands()) {
    EXPECT_TRUE(words.insert(std::string(c.words)).second) << c.words;
    EXPECT_NE(c.run, nullptr) << c.words;
    EXPECT_FALSE(c.summary.empty()) << c.words;
    for (const auto& o : c.options) {
      for (const auto& g : globalOptions()) EXPECT_NE(g.name, o.name) << c.words;
      auto [it, fresh] = valued.emplace(std::string(o.name), o.takesValue());
      EXPECT_EQ(it->second, o.takesValue()) << "--" << o.name << " in " << c.words;
    }
  }
}

struct Outcome {
  int status;
  std::string out, err;
};

Outcome dispatch(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = runCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(Dispatch, HelpListsEveryCommand) {
  Outcome r = dispatch({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty());
  for (const auto& c : allCommands()) EXPECT_NE(r.out.find(std::string(c.words)), std::string::npos) << c.words;
  EXPECT_NE(r.out.find("--home DIR"), std::string::npos);
}

TEST(Dispatch, HelpAfterACommandShowsItsUsage) {
  Outcome r = dispatch({"dbf", "dump", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: zentorctl dbf dump FILE [--tag NAME] [--deleted]"), std::string::npos) << r.out;
}

TEST(Dispatch, BadCommandLinesExitWithTwoAndOneLine) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{}, ""},  // the help, on the error stream
      {{"frobnicate"}, "zentorctl: unknown command 'frobnicate' (see zentorctl --help)\n"},
      {{"dbf", "frob", "X"}, "zentorctl: unknown command 'dbf frob X'; dbf has: info, dump, check\n"},
      {{"dbf", "info"}, "zentorctl: missing argument; usage: zentorctl dbf info FILE\n"},
      {{"dbf", "info", "A", "B"}, "zentorctl: too many arguments; usage: zentorctl dbf info FILE\n"},
      {{"dbf", "info", "--tag", "X", "A"}, "zentorctl: option --tag does not apply to 'dbf info'\n"},
      {{"dbf", "dump", "--nope", "A"}, "zentorctl: unknown option --nope (see zentorctl --help)\n"},
  };
  for (const auto& c : cases) {
    Outcome r = dispatch(c.args);
    EXPECT_EQ(r.status, 2) << (c.args.empty() ? "(none)" : c.args[0]);
    EXPECT_TRUE(r.out.empty()) << r.out;
    if (c.message.empty()) {
      EXPECT_NE(r.err.find("Usage: zentorctl"), std::string::npos);
    } else {
      EXPECT_EQ(r.err, c.message);
    }
  }
}

TEST(Dispatch, GlobalOptionsAreAcceptedByEveryCommand) {
  // The file does not exist: the command ran (and failed on the file), so the options passed.
  Outcome r = dispatch({"--home", "/nowhere", "--company", "3", "dbf", "info", "/nowhere/X.DBF"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "zentorctl: cannot open /nowhere/X.DBF: no such table file\n");
}

}  // namespace
}  // namespace zentor::cli
