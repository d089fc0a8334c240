// The 8-character names of a job's locations. A name of printable ASCII
// that fits 8 characters is kept as it is (unless an earlier name took the
// same 8 characters). Any other name is made from its text: accented Latin
// letters lose their accents, any other character that is not printable
// ASCII becomes "_"; the words are joined without blanks and punctuation and,
// when still too long, cut to 8 characters, keeping a short last word (a
// number or a code such as "A0") whole; when those 8 are taken, the end is
// replaced by "~1", "~2", ... until the name is unique.
// Every job name is unique, so a name means the same location in every year.
#pragma once

#include <string>
#include <vector>

#include "records/text.hpp"

namespace metclust::import {

std::vector<records::Name> job_names(const std::vector<std::string>& full_names);

}  // namespace metclust::import
