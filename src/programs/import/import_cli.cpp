#include "import/import_cli.hpp"

#include <optional>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/job_operand.hpp"
#include "cli/input_files.hpp"
#include "cli/output_files.hpp"
#include "cli/version.hpp"
#include "import/job.hpp"
#include "import/job_files.hpp"
#include "import/long_source.hpp"
#include "import/matrix_source.hpp"
#include "import/fields.hpp"
#include "import/measures.hpp"
#include "import/named_columns.hpp"
#include "import/source_text.hpp"
#include "import/trials_source.hpp"
#include "records/number_text.hpp"

namespace metclust::import {
namespace {


constexpr std::string_view kUsage =
    "Usage: metclust-import [OPTION]... SOURCE JOB\n"
    "  SOURCE: --matrix YEAR=FILE [--matrix YEAR=FILE]...\n"
    "        | --long FILE\n"
    "        | --trials FILE --measure euclidean|centred|correlation\n";

constexpr std::string_view kHelp =
    "Usage: metclust-import [OPTION]... SOURCE JOB\n"
    "Write the files of a metclust job, JOB.EMA and JOB.NAQ, from CSV files, and\n"
    "JOB-names.csv, which lists every location's full name beside its name in\n"
    "the job.\n"
    "\n"
    "Source (one kind):\n"
    "  --matrix YEAR=FILE   a square matrix for YEAR: the first row and the first\n"
    "                       column name the locations, symmetric, zero diagonal;\n"
    "                       once for each year\n"
    "  --long FILE          pairs under the header year,location_a,location_b,proximity\n"
    "  --trials FILE        trial results under the header year,location,genotype,value\n"
    "                       (or the names breeders use: season; site, environment,\n"
    "                       env, loc, trial; variety, gen, geno, entry, cultivar,\n"
    "                       hybrid, line; yield, response, resp)\n"
    "  --measure NAME       how --trials results become proximities: euclidean,\n"
    "                       centred or correlation\n"
    "\n"
    "Options:\n"
    "  --separator NAME     comma, semicolon or tab: how the fields of every source\n"
    "                       file are separated; without it the header row tells.\n"
    "                       Where semicolons separate them, numbers may have a\n"
    "                       decimal comma\n"
    "  --year-column NAME   the column of the year (--long, --trials)\n"
    "  --location-column NAME, --genotype-column NAME, --value-column NAME\n"
    "                       the columns of --trials results, where a file names\n"
    "                       them otherwise\n"
    "  --title TEXT         the job title (at most 50 bytes); the job's name if not given\n"
    "  --force              replace files of the job that exist already\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "Everything is checked before anything is written: a fault in a file is one\n"
    "line naming the file, line and column, and nothing is written. A file read\n"
    "otherwise than as comma separated with its columns under their own names is\n"
    "described on standard error once the job is written.\n"
    "Exit status: 0 on success, 1 when a file is missing or malformed or an\n"
    "output exists already, 2 on a wrong command line.\n";

struct MatrixSource {
  std::int64_t year = 0;
  std::string file;
};

struct Settings {
  std::vector<MatrixSource> matrices;
  std::optional<std::string> long_file;
  std::optional<std::string> trials_file;
  std::optional<Measure> measure;
  std::optional<std::string> title;
  std::optional<Separator> separator;
  ColumnNames columns;
  bool force = false;
  std::string job;
};

// The value of a --*-column option: a column's name.
std::string column_name(const std::string& option, cli::Arguments& args) {
  std::string name = args.value();
  if (trimmed(name).empty()) throw cli::UsageError(option + " takes the name of a column");
  return name;
}

MatrixSource matrix_source(const std::string& value) {
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos) {
    throw cli::UsageError("--matrix takes YEAR=FILE, found '" + value + "'");
  }
  const std::optional<std::int64_t> year = records::parse_integer(value.substr(0, equals));
  if (!year) throw cli::UsageError("--matrix: expected a whole year before '=', found '" + value + "'");
  const std::string file = value.substr(equals + 1);
  if (file.empty()) throw cli::UsageError("--matrix: no file after '=' in '" + value + "'");
  return {*year, file};
}

Settings parse(std::span<const std::string> arguments) {
  Settings s;
  cli::Arguments args(arguments);
  std::optional<std::string> measure;
  while (const std::optional<std::string> option = args.next_option()) {
    if (*option == "--matrix") {
      MatrixSource source = matrix_source(args.value());
      for (const MatrixSource& earlier : s.matrices) {
        if (earlier.year == source.year) {
          throw cli::UsageError("--matrix: year " + records::decimal(source.year) + " is given twice");
        }
      }
      s.matrices.push_back(std::move(source));
    } else if (*option == "--long") {
      if (s.long_file) throw cli::UsageError("--long is given twice");
      s.long_file = args.value();
    } else if (*option == "--trials") {
      if (s.trials_file) throw cli::UsageError("--trials is given twice");
      s.trials_file = args.value();
    } else if (*option == "--measure") {
      measure = args.value();
    } else if (*option == "--title") {
      s.title = args.value();
    } else if (*option == "--separator") {
      const std::string name = args.value();
      s.separator = separator_named(name);
      if (!s.separator) throw cli::UsageError("--separator takes comma, semicolon or tab, not '" + name + "'");
    } else if (*option == "--year-column") {
      s.columns.year = column_name(*option, args);
    } else if (*option == "--location-column") {
      s.columns.location = column_name(*option, args);
    } else if (*option == "--genotype-column") {
      s.columns.genotype = column_name(*option, args);
    } else if (*option == "--value-column") {
      s.columns.value = column_name(*option, args);
    } else if (*option == "--force") {
      args.no_value();
      s.force = true;
    } else {
      throw cli::UsageError("unknown option '" + *option + "'");
    }
  }
  const int kinds = (s.matrices.empty() ? 0 : 1) + (s.long_file ? 1 : 0) + (s.trials_file ? 1 : 0);
  if (kinds == 0) throw cli::UsageError("no source given: --matrix, --long or --trials");
  if (kinds > 1) throw cli::UsageError("give one kind of source: --matrix, --long or --trials");
  if (measure && !s.trials_file) throw cli::UsageError("--measure goes with --trials only");
  if (s.columns.year && s.matrices.size() > 0) {
    throw cli::UsageError("--year-column goes with --long or --trials; --matrix gives each year as YEAR=FILE");
  }
  for (const auto& [given, option] : {std::pair{&s.columns.location, "--location-column"},
                                      std::pair{&s.columns.genotype, "--genotype-column"},
                                      std::pair{&s.columns.value, "--value-column"}}) {
    if (*given && !s.trials_file) throw cli::UsageError(std::string(option) + " goes with --trials only");
  }
  if (s.trials_file) {
    if (!measure) throw cli::UsageError("--trials needs --measure euclidean, centred or correlation");
    s.measure = measure_named(*measure);
    if (!s.measure) {
      throw cli::UsageError("unknown measure '" + *measure + "': euclidean, centred or correlation");
    }
  }
  if (s.title) {
    if (s.title->size() > 50) throw cli::UsageError("the title is longer than 50 bytes");
    for (const char c : *s.title) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        throw cli::UsageError("the title must be one line of text, without control characters");
      }
    }
  }
  const auto operands = args.operands();
  s.job = cli::single_job(operands);
  return s;
}

// The job's name as its title, cut to 50 bytes where a character starts.
std::string default_title(const std::string& job) {
  std::string title = cli::output_place(job, std::nullopt).job_text;
  if (title.size() > 50) {
    std::size_t cut = 50;
    while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0u) == 0x80u) --cut;
    title.resize(cut);
  }
  return title;
}

// The option letters are echoed by metclust and change nothing; they say
// what kind of proximity the job holds where that is known.
formats::Options options_for(const Settings& s) {
  formats::Options options;
  if (!s.measure) return options;
  options.WEIGHT = 'U';
  options.PRXTYP = *s.measure == Measure::Correlation ? 'C' : 'S';
  if (*s.measure == Measure::Centred) options.SEDTYP = 'C';
  if (*s.measure == Measure::Correlation) options.CORTYP = 'N';
  return options;
}

int import_job(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  const Settings s = parse(arguments);
  std::vector<SourceYear> years;
  std::int64_t genotypes = 0;
  // What is told of each file read otherwise than the plain way.
  std::vector<std::string> notes;
  const auto note = [&notes](const SourceText& source) {
    const std::string about = source.description();
    if (!about.empty()) notes.push_back(source.file() + ": " + about);
  };
  if (!s.matrices.empty()) {
    for (const MatrixSource& matrix : s.matrices) {
      SourceText source(cli::read_file(matrix.file), matrix.file, s.separator);
      years.push_back(read_matrix_year(matrix.year, source));
      note(source);
    }
  } else if (s.long_file) {
    SourceText source(cli::read_file(*s.long_file), *s.long_file, s.separator);
    years = read_long(source, s.columns);
    note(source);
  } else {
    SourceText source(cli::read_file(*s.trials_file), *s.trials_file, s.separator);
    TrialYears trials = read_trials(source, *s.measure, s.columns);
    years = std::move(trials.years);
    genotypes = trials.genotypes;
    note(source);
  }
  const ImportedJob job = assemble_job(std::move(years), genotypes);

  cli::OutputFiles outputs;
  const cli::OutputPlace place = cli::output_place(s.job, std::nullopt);
  outputs.add(place.file(place.job_name + ".EMA"), ema_bytes(job, s.title ? *s.title : default_title(s.job), options_for(s)));
  outputs.add(place.file(place.job_name + ".NAQ"), naq_bytes(job));
  outputs.add(place.file(place.job_name + "-names.csv"), names_csv(job));
  if (!s.force) {
    if (const auto existing = outputs.existing(); !existing.empty()) {
      throw cli::FileError(cli::name_of(existing.front()), "exists already; give --force to replace it");
    }
  }
  if (!place.folder.empty()) cli::OutputFiles::make_folder(place.folder);
  outputs.commit();
  out << outputs.listing();
  for (const std::string& text : notes) err << "metclust-import: " << text << '\n';
  return cli::kExitOk;
}

}  // namespace

int run_import(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  const cli::ProgramText text{"metclust-import", kUsage, kHelp};
  return cli::run_program(text, cli::program_version(), arguments, out, err,
                            [&](std::span<const std::string> args) { return import_job(args, out, err); });
}

}  // namespace metclust::import
