#include <iostream>
#include <string>
#include <vector>

#include "choose/cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return metclust::choose::run_choose(arguments, std::cout, std::cerr);
}
