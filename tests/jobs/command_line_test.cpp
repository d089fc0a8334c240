// metclust run from the command line: jobs with default names and no
// dialogue, against the dialogue's runs of the same jobs with the same
// answers, output folders, every strategy, failing and refused jobs, and
// wrong command lines.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/capacity.hpp"
#include "support/scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures{METCLUST_FIXTURES};
const fs::path kBinary{METCLUST_BINARY};
const fs::path kExamples = kFixtures.parent_path().parent_path() / "examples";

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

struct Outcome {
  int status = -1;  // the exit status, or 1000 plus the signal that ended the run
  std::string out, err;
};

// Runs metclust with `arguments` in `folder`, with standard input at its end
// or holding `answers`, as a shell would start it; its streams are kept in
// the folder above.
Outcome run_metclust(const fs::path& folder, const std::vector<std::string>& arguments,
                     const std::string& answers = "") {
  const fs::path streams = folder.parent_path();
  const fs::path in_file = streams / "stdin", out_file = streams / "stdout",
                 err_file = streams / "stderr";
  std::ofstream(in_file, std::ios::binary) << answers;
  std::vector<char*> argv = {const_cast<char*>(kBinary.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(in_file.c_str(), O_RDONLY);
    const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0 || ::chdir(folder.c_str()) != 0) {
      ::_exit(127);
    }
    ::alarm(120);
    ::execv(kBinary.c_str(), argv.data());
    ::_exit(127);
  }
  Outcome outcome;
  int status = 0;
  while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  outcome.out = read_bytes(out_file);
  outcome.err = replace_all(read_bytes(err_file), folder.string(), "<DIR>");
  return outcome;
}

std::map<std::string, std::string> files_in(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? read_bytes(entry.path()) : "(a folder)";
  }
  return files;
}

// A job folder `job` inside a scratch folder, which also takes the captured
// streams.
struct JobFolder {
  metclust::testing::ScratchFolder scratch;
  fs::path dir = scratch.path() / "job";
  JobFolder() { fs::create_directory(dir); }
  void take(const fs::path& from, const std::string& as = "JOB") const {
    for (const char* extension : {".EMA", ".NAQ"}) {
      fs::copy_file(from.string() + extension, dir / (as + extension));
    }
  }
};

// The console lines of the dialogue: its two prompts and the strategy
// question with its menu. A command-line run shows all else.
std::string without_dialogue(std::string console) {
  for (std::string_view prompt : {" Do you wish default file names (Y or N)? - ",
                                  " Enter job name (ie. name for files without extension)\r\n"}) {
    if (console.starts_with(prompt)) console.erase(0, prompt.size());
  }
  const std::size_t menu = console.find(" Which clustering strategety? \r\n");
  if (menu != std::string::npos) {
    std::size_t end = menu;
    for (int record = 0; record < 9; ++record) end = console.find("\r\n", end) + 2;
    console.erase(menu, end - menu);
  }
  return console;
}

// The answers of a fixture when they are a default job name and a strategy
// from 1 to 8 that the command line can give as they are: {job, strategy}.
std::optional<std::pair<std::string, std::string>> command_line_answers(const fs::path& fixture) {
  std::istringstream answers(read_bytes(fixture / "answers"));
  std::string yes, job, strategy, more;
  if (!std::getline(answers, yes) || !std::getline(answers, job) ||
      !std::getline(answers, strategy) || std::getline(answers, more)) {
    return std::nullopt;
  }
  // The dialogue cuts names of 47 or more characters; the command line does not.
  const bool plain_job = !job.empty() && job.size() < 47 &&
                         std::all_of(job.begin(), job.end(), [](unsigned char c) {
                           return std::isalnum(c) || c == '_';
                         });
  if ((yes.empty() || (yes[0] != 'Y' && yes[0] != 'y')) || !plain_job ||
      strategy.size() != 1 || strategy[0] < '1' || strategy[0] > '8') {
    return std::nullopt;
  }
  return std::pair{job, strategy};
}

// Every fixture job answered with a default name and a strategy: its files,
// report and status after `metclust --strategy N JOB` are those the dialogue
// left, and its console shows the dialogue's lines without the dialogue. A
// job that the work arrays refuse ends with report 93 instead of status 0.
TEST(CommandLine, RunsEveryFixtureJobAsItsDialogueDoes) {
  int jobs = 0;
  for (const auto& entry : fs::directory_iterator(kFixtures)) {
    const auto answers = command_line_answers(entry.path());
    if (!answers) continue;
    ++jobs;
    const auto& [job, strategy] = *answers;
    const fs::path expected = entry.path() / "expected";
    SCOPED_TRACE(entry.path().filename().string() + ": metclust --strategy " + strategy + " " + job);
    JobFolder folder;
    fs::copy(entry.path() / "input", folder.dir, fs::copy_options::recursive);
    const Outcome run = run_metclust(folder.dir, {"--strategy", strategy, job});

    const std::string console = read_bytes(expected / "stdout");
    std::string status = read_bytes(expected / "status");
    std::string reports = read_bytes(expected / "stderr");
    if (console.find(" INCREASE DIMENSION OF") != std::string::npos) {
      const std::string MAXL = read_bytes(expected / (job + ".CLS")).substr(6, 6);
      const std::string L = MAXL.substr(MAXL.find_first_not_of(' '));
      status = "93\n";
      // Beyond the largest build there is no build to name.
      const std::string what = std::stoll(L) <= metclust::formats::kLargestBuildLocations
                                   ? "build with cmake -DMETCLUST_MAX_LOCATIONS=" + L + " for more"
                                   : "no build holds more than " +
                                         std::to_string(metclust::formats::kLargestBuildLocations);
      reports += "forrtl: severe (93): run header gives MAXL " + L + ", but this build holds " +
                 std::to_string(metclust::formats::kLocationsHeld) + " locations at most; " +
                 what + ", unit 20, file <DIR>/" + job + ".EMA\r\n";
    }
    EXPECT_EQ(std::to_string(run.status) + "\n", status);
    EXPECT_EQ(run.err, reports);
    EXPECT_EQ(run.out, without_dialogue(console));
    auto want = files_in(expected);
    for (const char* fact : {"stdout", "stderr", "status"}) want.erase(fact);
    EXPECT_EQ(files_in(folder.dir), want);
  }
  EXPECT_GE(jobs, 30) << "fixtures under " << kFixtures;
}

// The bundled sample job with --strategy all into a folder that does not
// exist yet, named by its .EMA file from another folder: eight runs whose
// files are those of the eight dialogue runs, and nothing written beside the
// inputs.
TEST(CommandLine, EveryStrategyIntoAnOutputFolderAsTheDialogueRunsThem) {
  JobFolder batch;
  const fs::path trials = batch.dir / "trials";
  fs::create_directory(trials);
  for (const char* extension : {".EMA", ".NAQ"}) {
    fs::copy_file(kExamples / (std::string("TRIAL") + extension), trials / (std::string("TRIAL") + extension));
  }
  const Outcome run =
      run_metclust(batch.dir, {"-q", "--strategy", "all", "-o", "out/every", "trials/TRIAL.EMA"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");  // quiet
  EXPECT_EQ(files_in(trials).size(), 2u);
  const auto outputs = files_in(batch.dir / "out" / "every");
  EXPECT_EQ(outputs.size(), 24u);
  for (int strategy = 1; strategy <= 8; ++strategy) {
    SCOPED_TRACE("strategy " + std::to_string(strategy));
    JobFolder dialogue;
    dialogue.take(kExamples / "TRIAL", "TRIAL");
    ASSERT_EQ(run_metclust(dialogue.dir, {}, "Y\nTRIAL\n" + std::to_string(strategy) + "\n").status, 0);
    for (const char* extension : {".SCL", ".CLS", ".PCL"}) {
      const std::string name = "TRIAL-s" + std::to_string(strategy) + extension;
      ASSERT_TRUE(outputs.contains(name)) << name;
      EXPECT_EQ(outputs.at(name), read_bytes(dialogue.dir / (std::string("TRIAL") + extension)))
          << name;
    }
  }
}

// A job that fails ends its own runs only: the jobs after it still run, and
// the exit status is that of the first failure.
TEST(CommandLine, AFailedJobLeavesTheJobsAfterItToRun) {
  const fs::path two_years = kFixtures / "two_years";
  JobFolder folder;
  folder.take(two_years / "input" / "JOB", "A");
  folder.take(two_years / "input" / "JOB", "B");
  folder.take(kFixtures / "refused_412" / "input" / "JOB", "BIG");
  const Outcome run =
      run_metclust(folder.dir, {"-q", "-s", "6", "A", "MISSING", "BIG.EMA", "B"});
  EXPECT_EQ(run.status, 29);
  EXPECT_EQ(run.err,
            "forrtl: severe (29): file not found, unit 20, file <DIR>/MISSING.EMA\r\n"
            "forrtl: severe (93): run header gives MAXL 412, but this build holds " +
                std::to_string(metclust::formats::kLocationsHeld) +
                " locations at most; build with cmake -DMETCLUST_MAX_LOCATIONS=412 for more, "
                "unit 20, file <DIR>/BIG.EMA\r\n");
  for (const char* job : {"A", "B"}) {
    for (const char* extension : {".SCL", ".CLS", ".PCL"}) {
      EXPECT_EQ(read_bytes(folder.dir / (std::string(job) + extension)),
                read_bytes(two_years / "expected" / (std::string("JOB") + extension)))
          << job << extension;
    }
  }
  EXPECT_FALSE(fs::exists(folder.dir / "MISSING.SCL"));
}

// Every strategy of a job that the work arrays refuse would be refused the
// same way: the first run's report is the only one, and no later run writes.
TEST(CommandLine, ARefusedJobStopsAtItsFirstStrategy) {
  const fs::path refused = kFixtures / "refused_700";
  JobFolder folder;
  fs::copy(refused / "input", folder.dir);
  const Outcome run = run_metclust(folder.dir, {"--strategy=all", "JOB"});
  EXPECT_EQ(run.status, 93);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.out, without_dialogue(read_bytes(refused / "expected" / "stdout")));
  const auto files = files_in(folder.dir);
  EXPECT_EQ(files.at("JOB-s1.SCL"), read_bytes(refused / "expected" / "JOB.SCL"));
  EXPECT_EQ(files.at("JOB-s1.CLS"), read_bytes(refused / "expected" / "JOB.CLS"));
  EXPECT_EQ(files.at("JOB-s1.PCL"), "");  // connected, never written
  EXPECT_EQ(files.size(), 5u);  // the inputs and the files of the first run
}

TEST(CommandLine, AWrongCommandLineShowsTheUsageAndChangesNothing) {
  const std::vector<std::string> wrong[] = {
      {"JOB"}, {"--strategy", "9", "JOB"}, {"-s", "3"}, {"--colour", "-s", "3", "JOB"}};
  for (const auto& arguments : wrong) {
    SCOPED_TRACE(arguments.front());
    JobFolder folder;
    folder.take(kFixtures / "two_years" / "input" / "JOB");
    const Outcome run = run_metclust(folder.dir, arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("metclust: ")) << run.err;
    EXPECT_NE(run.err.find("\nUsage: metclust\n"), std::string::npos) << run.err;
    EXPECT_EQ(files_in(folder.dir).size(), 2u);
  }
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
  JobFolder folder;
  const Outcome help = run_metclust(folder.dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: metclust\n       metclust --strategy N|all")) << help.out;
  EXPECT_EQ(help.err, "");
  const Outcome version = run_metclust(folder.dir, {"-V"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "metclust 1.0.0 (work arrays for up to " +
                             std::to_string(metclust::formats::kLocationsHeld) + " locations)\n");
}

}  // namespace
