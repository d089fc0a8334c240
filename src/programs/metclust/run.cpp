#include "metclust/run.hpp"

#include <new>
#include <optional>

#include "metclust/dialogue.hpp"
#include "metclust/setup.hpp"
#include "metclust/work_space.hpp"
#include "records/output_guard.hpp"

namespace metclust::control {
namespace {

using FileNames = std::array<std::string, 5>;

// Connects the five files, runs SETUP and stops. `names` is called once the
// run has begun, so that a failed console answer is reported like any other
// failure. `strategy` is the answer to the strategy question when it is known
// beforehand; such a run has nobody at the console to read the dimension
// report, so a refusal by the work arrays ends it with a report.
// `output_folder`, when given, is made before the first output is connected.
// Once every file is connected, the run takes the locks of its outputs, so
// that a second run of the same job waits for the first to end.
template <typename Names>
int run(records::ChannelTable& channels, Names names, std::optional<std::int32_t> strategy,
        const std::optional<std::string>& output_folder = std::nullopt) {
  try {
    try {
      const FileNames files = names();
      constexpr int kUnits[] = {records::kEma, records::kNaq, records::kScl, records::kCls,
                                records::kPcl};
      for (std::size_t k = 0; k < files.size(); ++k) {
        const auto status = kUnits[k] <= records::kNaq ? records::ChannelTable::Status::Old
                                                       : records::ChannelTable::Status::Unknown;
        if (kUnits[k] == records::kScl && output_folder) {
          channels.make_folder(records::kScl, *output_folder);
        }
        channels.open(kUnits[k], files[k], status);
      }
      channels.lock_outputs(records::kLockPatience);
      const SetupOutcome setup = SETUP(channels, work_arrays(), strategy);
      if (setup.refused && strategy) {
        channels.fail(records::report::kWorkSpaceTooSmall, records::kEma,
                      {setup.MAXL, formats::kLocationsHeld, formats::kLargestBuildLocations});
      }
    } catch (const std::bad_alloc&) {
      channels.fail(records::report::kNoMemory, records::kConsoleOut);
    }
  } catch (const records::RunEnded& end) {
    return end.exit_status();
  }
  channels.stop();
  return 0;
}

}  // namespace

int run_job(records::ChannelTable& channels) {
  const auto ask = [&channels] {
    const FileSet set = job_dialogue(channels);
    FileNames names;
    for (std::size_t k = 0; k < names.size(); ++k) {
      names[k].assign(set.names[k].data(), set.names[k].size());
    }
    return names;
  };
  return run(channels, ask, std::nullopt);
}

int run_given_job(records::ChannelTable& channels, const GivenJob& job) {
  return run(channels, [&job] { return job.names; }, job.strategy, job.output_folder);
}

}  // namespace metclust::control
