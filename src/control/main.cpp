// metclust: groups the locations of multi-environment crop trials, year after
// year, by hierarchical agglomerative clustering of each year's proximity
// matrix. The job dialogue names the files; everything else comes from the
// .EMA file and the strategy answer.
#include "control/run.hpp"

int main() {
  metclust::records::ChannelTable channels;
  return metclust::control::run_job(channels);
}
