#include <iostream>
#include <string>
#include <vector>

#include "plot/cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return metclust::plot::run_plot(arguments, std::cout, std::cerr);
}
