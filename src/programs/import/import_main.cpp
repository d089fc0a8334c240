#include <iostream>
#include <string>
#include <vector>

#include "import/import_cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return metclust::import::run_import(arguments, std::cout, std::cerr);
}
