// The command-line conventions every companion program shares.
#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <sstream>
#include <streambuf>
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

// The small program above run through run_program: its operands say how it
// ends.
int demo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const ProgramText text{"metclust-demo", "Usage: metclust-demo JOB\n", "Usage: metclust-demo JOB\nHelp.\n"};
  return run_program(text, "1.2.3", arguments, out, err, [&](std::span<const std::string> given) {
    const Parsed parsed = parse({given.begin(), given.end()});
    const std::string first = parsed.operands.empty() ? "" : parsed.operands.front();
    if (first == "usage") throw UsageError("no good");
    if (first == "data") throw records::LocatedError("J.EMA", 4, 17, "expected a number");
    if (first == "file") throw FileError("J.PCL", "no such file");
    if (first == "memory") throw std::bad_alloc();
    out << "done";
    for (const std::string& operand : parsed.operands) out << ' ' << operand;
    out << '\n';
    return kExitOk;
  });
}

TEST(RunProgram, HelpVersionAndTheThreeStatuses) {
  const std::string help = "Usage: metclust-demo JOB\nHelp.\n";
  const std::string usage = "Usage: metclust-demo JOB\nTry 'metclust-demo --help' for more information.\n";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--help"}, kExitOk, help, ""},
      {{"-q", "-V", "JOB"}, kExitOk, "metclust-demo 1.2.3\n", ""},
      // Wherever they stand among the options, also after an option's value;
      // the first of them wins.
      {{"-o", "DIR", "--help"}, kExitOk, help, ""},
      {{"-oDIR", "-q", "-h", "JOB"}, kExitOk, help, ""},
      {{"-V", "--help"}, kExitOk, "metclust-demo 1.2.3\n", ""},
      {{"--help", "--frobnicate"}, kExitOk, help, ""},
      // A wrong option before them is reported; a value of an option or an
      // operand that reads "--help" is not an option.
      {{"--frobnicate", "--help"}, kExitUsage, "", "metclust-demo: unknown option '--frobnicate'\n" + usage},
      {{"--help=all"}, kExitUsage, "", "metclust-demo: option '--help' takes no value\n" + usage},
      {{"-o", "--help", "JOB"}, kExitOk, "done JOB\n", ""},
      {{"fine", "--help"}, kExitOk, "done fine --help\n", ""},
      {{"--", "--help"}, kExitOk, "done --help\n", ""},
      {{"usage"}, kExitUsage, "", "metclust-demo: no good\n" + usage},
      {{"data"}, kExitBadData, "", "metclust-demo: J.EMA:4:17: expected a number\n"},
      {{"file"}, kExitBadData, "", "metclust-demo: J.PCL: no such file\n"},
      {{"memory"}, kExitBadData, "", "metclust-demo: not enough memory to go on\n"},
      {{"fine"}, kExitOk, "done fine\n", ""},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = demo(c.arguments, out, err);
    EXPECT_EQ(status, c.status) << c.arguments.front();
    EXPECT_EQ(out.str(), c.out) << c.arguments.front();
    EXPECT_EQ(err.str(), c.err) << c.arguments.front();
  }
}

// A standard output that takes bytes into its buffer and then cannot hand
// them on, as a full disk does; or one that refuses the first byte already.
class FullDisk : public std::streambuf {
 public:
  explicit FullDisk(bool buffered) {
    if (buffered) setp(buffer_, buffer_ + sizeof buffer_);
  }

 protected:
  int sync() override {
    if (pptr() == pbase()) return 0;  // nothing to hand on
    errno = ENOSPC;
    return -1;
  }
  int_type overflow(int_type) override { return traits_type::eof(); }

 private:
  char buffer_[4096];
};

TEST(RunProgram, OutputThatCannotBeWrittenIsAFailure) {
  for (const bool buffered : {true, false}) {
    const std::string reason = buffered ? ": No space left on device" : "";
    struct Case {
      std::vector<std::string> arguments;
      int status;
      std::string err;
    };
    const std::vector<Case> cases = {
        {{"--help"}, kExitBadData, ""},
        {{"--version"}, kExitBadData, ""},
        {{"fine"}, kExitBadData, ""},
        // A failure reported already keeps its status.
        {{"usage"}, kExitUsage,
         "metclust-demo: no good\nUsage: metclust-demo JOB\n"
         "Try 'metclust-demo --help' for more information.\n"},
    };
    for (const Case& c : cases) {
      FullDisk disk(buffered);
      std::ostream out(&disk);
      std::ostringstream err;
      EXPECT_EQ(demo(c.arguments, out, err), c.status) << c.arguments.front();
      const std::string said = c.err.empty() ? "metclust-demo: standard output cannot be written" + reason + "\n"
                                             : c.err;
      EXPECT_EQ(err.str(), said) << c.arguments.front() << (buffered ? " buffered" : "");
    }
  }
}

}  // namespace
}  // namespace metclust::cli
