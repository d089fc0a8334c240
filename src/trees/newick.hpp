// A tree as Newick text, the form tree viewers, R's ape and Python's
// Bio.Phylo read.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "trees/tree.hpp"

namespace metclust::trees {

// A label as Newick writes it: as it is when it holds only letters, digits
// and characters without a meaning in Newick, otherwise in single quotes.
// Blanks, underscores (which an unquoted label turns into blanks),
// ( ) [ ] : ; , and control characters all ask for quotes, and so does an
// empty label. A quote (') in a label is written as the typographic
// apostrophe kApostrophe: R's ape reads the doubled quote of standard
// Newick ('O''Neill') as NA, and Biopython 1.80 silently reads it as
// "Neill", while both read O’Neill back as it stands.
inline constexpr std::string_view kApostrophe = "\xE2\x80\x99";  // U+2019
std::string newick_label(std::string_view label);

// The whole tree, ending in ";" and a line end: every fusion as
// "(left,right)" in drawing order, leaves named by `names` (names[k - 1]
// for location k), and branch lengths such that each fusion's node lies at
// its fusion level above the leaves, which lie at 0: the path from one
// location to another is twice the level of the fusion that joins them. A
// fusion below a group it joins (an inversion) gives that group a negative
// branch. A year of one location is a node at 0 holding it, "(NAME:0);";
// a year of none is the empty tree ";".
std::string newick(const Tree& tree, std::span<const std::string> names);

}  // namespace metclust::trees
