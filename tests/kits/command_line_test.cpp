// The command-line conventions every companion program shares.
#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "records/located_error.hpp"

namespace metclust::cli {
namespace {

struct Parsed {
  std::string output;
  bool quiet = false;
  std::vector<std::string> operands;
};

// A small program: -o DIR, -q, operands.
Parsed parse(const std::vector<std::string>& arguments) {
  Arguments walk(arguments);
  Parsed parsed;
  while (const auto option = walk.next_option()) {
    if (*option == "-o" || *option == "--output") {
      parsed.output = walk.value();
    } else if (*option == "-q" || *option == "--quiet") {
      walk.no_value();
      parsed.quiet = true;
    } else {
      throw UsageError("unknown option '" + *option + "'");
    }
  }
  parsed.operands.assign(walk.operands().begin(), walk.operands().end());
  return parsed;
}

TEST(Arguments, OptionValuesInEveryFormAndOperandsAfterThem) {
  struct Case {
    std::vector<std::string> arguments;
    std::string output;
    bool quiet;
    std::vector<std::string> operands;
  };
  const std::vector<Case> cases = {
      {{"-o", "DIR", "JOB"}, "DIR", false, {"JOB"}},
      {{"-oDIR", "-q", "A", "B"}, "DIR", true, {"A", "B"}},
      {{"--output", "D", "JOB"}, "D", false, {"JOB"}},
      {{"--output=D=E", "JOB"}, "D=E", false, {"JOB"}},
      {{"--", "-q"}, "", false, {"-q"}},
      // Options stop at the first operand; a lone "-" is an operand.
      {{"JOB", "-q"}, "", false, {"JOB", "-q"}},
      {{"-", "JOB"}, "", false, {"-", "JOB"}},
  };
  for (const Case& c : cases) {
    const Parsed parsed = parse(c.arguments);
    EXPECT_EQ(parsed.output, c.output) << c.arguments.front();
    EXPECT_EQ(parsed.quiet, c.quiet) << c.arguments.front();
    EXPECT_EQ(parsed.operands, c.operands) << c.arguments.front();
  }
}

TEST(Arguments, WrongUseIsAUsageError) {
  const std::vector<std::vector<std::string>> cases = {
      {"-o"}, {"--quiet=yes", "JOB"}, {"-qx", "JOB"}, {"--frobnicate", "JOB"}};
  for (const auto& arguments : cases) {
    EXPECT_THROW(parse(arguments), UsageError) << arguments.front();
  }
}

TEST(RunProgram, HelpVersionAndTheThreeStatuses) {
  const ProgramText text{"metclust-demo", "Usage: metclust-demo JOB\n", "Usage: metclust-demo JOB\nHelp.\n"};
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--help"}, kExitOk, "Usage: metclust-demo JOB\nHelp.\n", ""},
      {{"-q", "-V", "JOB"}, kExitOk, "metclust-demo 1.2.3\n", ""},
      {{"usage"}, kExitUsage, "",
       "metclust-demo: no good\nUsage: metclust-demo JOB\n"
       "Try 'metclust-demo --help' for more information.\n"},
      {{"data"}, kExitBadData, "", "metclust-demo: J.EMA:4:17: expected a number\n"},
      {{"file"}, kExitBadData, "", "metclust-demo: J.PCL: no such file\n"},
      {{"fine"}, kExitOk, "done\n", ""},
      // After the operands "--help" is an operand like any other.
      {{"fine", "--help"}, kExitOk, "done\n", ""},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = run_program(text, "1.2.3", c.arguments, out, err,
                                   [&](std::span<const std::string> arguments) {
                                     const std::string& first = arguments.back() == "--help"
                                                                    ? arguments.front()
                                                                    : arguments.back();
                                     if (first == "usage") throw UsageError("no good");
                                     if (first == "data") {
                                       throw records::LocatedError("J.EMA", 4, 17,
                                                                   "expected a number");
                                     }
                                     if (first == "file") throw FileError("J.PCL", "no such file");
                                     out << "done\n";
                                     return kExitOk;
                                   });
    EXPECT_EQ(status, c.status) << c.arguments.front();
    EXPECT_EQ(out.str(), c.out) << c.arguments.front();
    EXPECT_EQ(err.str(), c.err) << c.arguments.front();
  }
}

}  // namespace
}  // namespace metclust::cli
