// metclust: groups the locations of multi-environment crop trials, year after
// year, by hierarchical agglomerative clustering of each year's proximity
// matrix. The job dialogue names the files; everything else comes from the
// .EMA file and the strategy answer.
#include <new>

#include "control/dialogue.hpp"
#include "control/setup.hpp"
#include "records/channel_table.hpp"

int main() {
  using namespace metclust;
  records::ChannelTable channels;
  try {
    try {
      const control::FileSet files = control::job_dialogue(channels);
      constexpr int kUnits[] = {records::kEma, records::kNaq, records::kScl, records::kCls,
                                records::kPcl};
      for (std::size_t k = 0; k < files.names.size(); ++k) {
        const auto status = kUnits[k] <= records::kNaq ? records::ChannelTable::Status::Old
                                                       : records::ChannelTable::Status::Unknown;
        channels.open(kUnits[k], std::string_view(files.names[k].data(), files.names[k].size()),
                      status);
      }
      control::SETUP(channels, control::work_arrays());
    } catch (const std::bad_alloc&) {
      channels.fail(records::report::kNoMemory, records::kConsoleOut);
    }
  } catch (const records::RunEnded& end) {
    return end.exit_status();
  }
  channels.stop();
  return 0;
}
