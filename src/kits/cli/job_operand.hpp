// The one rule by which every program reads a JOB operand: the job's path
// without an extension, or the path of any of its files.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace metclust::cli {

// "DIR/JOB", or any of the job's files: JOB.EMA, JOB.NAQ, JOB.SCL, JOB.CLS,
// JOB.PCL, the extension in any case, which stand for the job. An operand
// without a file part ("", "DIR/", ".EMA") is a UsageError.
std::string job_name(std::string_view operand);

// The one job of a command line's operands, as job_name makes it; none, or
// more than one, is a UsageError.
std::string single_job(std::span<const std::string> operands);

}  // namespace metclust::cli
