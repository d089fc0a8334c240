#include "control/run.hpp"

#include <new>

#include "control/dialogue.hpp"
#include "control/setup.hpp"

namespace metclust::control {

int run_job(records::ChannelTable& channels) {
  try {
    try {
      const FileSet files = job_dialogue(channels);
      constexpr int kUnits[] = {records::kEma, records::kNaq, records::kScl, records::kCls,
                                records::kPcl};
      for (std::size_t k = 0; k < files.names.size(); ++k) {
        const auto status = kUnits[k] <= records::kNaq ? records::ChannelTable::Status::Old
                                                       : records::ChannelTable::Status::Unknown;
        channels.open(kUnits[k], std::string_view(files.names[k].data(), files.names[k].size()),
                      status);
      }
      SETUP(channels, work_arrays());
    } catch (const std::bad_alloc&) {
      channels.fail(records::report::kNoMemory, records::kConsoleOut);
    }
  } catch (const records::RunEnded& end) {
    return end.exit_status();
  }
  channels.stop();
  return 0;
}

}  // namespace metclust::control
