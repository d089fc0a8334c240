#include <iostream>
#include <string>
#include <vector>

#include "export/cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return metclust::exporting::run_export(arguments, std::cout, std::cerr);
}
