#include "import/job_files.hpp"

#include <cstdint>
#include <span>
#include <vector>

#include "records/channel_table.hpp"
#include "records/number_text.hpp"
#include "records/packed.hpp"
#include "records/record_writer.hpp"
#include "text/csv.hpp"

namespace metclust::import {
namespace {

std::string_view trimmed_name(const records::Name& name) {
  std::string_view text = records::view(name);
  text.remove_suffix(text.size() - (text.find_last_not_of(' ') + 1));
  return text;
}

}  // namespace

std::string ema_bytes(const ImportedJob& job, std::string_view title, const formats::Options& options) {
  records::ChannelTable channels(records::ConsoleStreams{}, records::ChannelTable::Failures::Throw);
  channels.open_memory(records::kEma, "JOB.EMA");
  records::RecordWriter out(channels);
  formats::EmaWriter ema(out, records::kEma);
  ema.write_run_header(job.header);
  ema.write_title(title);
  ema.write_options(options);
  std::vector<std::int32_t> ELIM(job.locations.size());
  for (const JobYear& year : job.years) {
    records::Name label = records::make_name(records::decimal(year.year));
    ema.write_year(static_cast<std::int32_t>(year.year), label);
    ema.write_count(static_cast<std::int32_t>(year.members.size()));
    std::fill(ELIM.begin(), ELIM.end(), 0);
    for (const std::size_t m : year.members) ELIM[m] = 1;
    ema.write_elimination(ELIM);
    const std::span<const double> matrix(year.proximities);
    for (std::size_t i = 1; i <= year.members.size(); ++i) {
      // Row i holds the proximities of location i to locations 1..i-1,
      // which stand side by side in the packed matrix.
      const auto first = static_cast<std::size_t>(records::packed_index(1, static_cast<std::int64_t>(i)));
      ema.write_matrix_row(static_cast<std::int32_t>(i), job.names[year.members[i - 1]],
                           matrix.subspan(first, i - 1));
    }
  }
  return channels.take_memory(records::kEma);
}

std::string naq_bytes(const ImportedJob& job) {
  std::string bytes;
  for (const records::Name& name : job.names) {
    bytes += records::view(name);
    bytes += "\r\n";
  }
  return bytes;
}

std::string names_csv(const ImportedJob& job) {
  text::CsvWriter csv;
  csv.text("number").text("location").text("name").end_row();
  for (std::size_t k = 0; k < job.locations.size(); ++k) {
    csv.integer(static_cast<std::int64_t>(k + 1)).text(job.locations[k]).text(trimmed_name(job.names[k])).end_row();
  }
  return csv.take();
}

}  // namespace metclust::import
