#include "cli/job_command.hpp"

#include "cli/job_operand.hpp"

namespace metclust::cli {

JobSettings parse_job_command(std::span<const std::string> arguments, const JobCommand& command) {
  JobSettings settings;
  Arguments walker(arguments);
  while (const std::optional<std::string> option = walker.next_option()) {
    if (take_output_option(*option, walker, settings.output)) continue;
    if (command.ema && take_ema_option(*option, walker, settings.ema)) continue;
    const bool cut_option = *option == "-g" || *option == "--groups" ||
                            (*option == "--height" && command.cut != CutOptions::GroupsOnly);
    if (command.cut != CutOptions::None && cut_option &&
        take_cut_option(*option, walker, settings.rule)) {
      continue;
    }
    if (command.more && command.more(*option, walker)) continue;
    throw UsageError("unknown option '" + *option + "'");
  }
  if (command.cut != CutOptions::None) {
    check_cut_rule(settings.rule, command.cut == CutOptions::Required);
  }
  if (command.check) command.check();
  settings.job = single_job(walker.operands());
  return settings;
}

std::string job_help(std::string_view usage, std::string_view own,
                     std::initializer_list<std::string_view> shared) {
  std::string help(usage);
  help += own;
  for (const std::string_view lines : shared) help += lines;
  help += "\n"
          "Exit status: 0 on success, 1 when a file is missing, malformed or cannot\n"
          "be written (then nothing is written), 2 on a wrong command line.\n";
  return help;
}

void commit_outputs(OutputFiles& outputs, const OutputPlace& place, bool made_folder) {
  if (made_folder) OutputFiles::make_folder(place.folder);
  outputs.commit();
}

void print_notes(std::ostream& err, std::string_view program, std::span<const std::string> notes) {
  for (const std::string& note : notes) err << program << ": note: " << note << '\n';
}

}  // namespace metclust::cli
