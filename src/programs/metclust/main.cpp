// metclust: groups the locations of multi-environment crop trials, year after
// year, by hierarchical agglomerative clustering of each year's proximity
// matrix. Without arguments the job dialogue names the files and the strategy
// question chooses the strategy; everything else comes from the .EMA file.
// With arguments the command line gives the jobs and the strategy.
#include <iostream>
#include <string>
#include <vector>

#include "metclust/command_line.hpp"
#include "metclust/run.hpp"

int main(int argc, char** argv) {
  if (argc <= 1) {
    metclust::records::ChannelTable channels;
    return metclust::control::run_job(channels);
  }
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return metclust::control::run_command_line(arguments, std::cout, std::cerr);
}
