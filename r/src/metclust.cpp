// The engine for R: a "dist" vector or a square matrix clustered in-process,
// and the trees of a job, handed back as the parts of "hclust" objects that
// R/mc_hclust.R and R/mc_job.R assemble.
#include <Rcpp.h>

#include <span>
#include <string>
#include <utility>

#include "bindings/hclust.hpp"
#include "bindings/job.hpp"

namespace bindings = metclust::bindings;

namespace {

// merge, height and order of an "hclust" object.
Rcpp::List hclust_parts(const metclust::trees::Tree& tree) {
  const bindings::Hclust hc = bindings::stats_hclust(tree);
  const auto rows = static_cast<int>(hc.height.size());
  Rcpp::IntegerMatrix merge(rows, 2);
  for (int r = 0; r < rows; ++r) {
    merge(r, 0) = hc.merge1[static_cast<std::size_t>(r)];
    merge(r, 1) = hc.merge2[static_cast<std::size_t>(r)];
  }
  return Rcpp::List::create(Rcpp::Named("merge") = merge,
                            Rcpp::Named("height") = Rcpp::NumericVector(hc.height.begin(), hc.height.end()),
                            Rcpp::Named("order") = Rcpp::IntegerVector(hc.order.begin(), hc.order.end()));
}

Rcpp::CharacterVector utf8_texts(const std::vector<std::string>& texts) {
  Rcpp::CharacterVector out(texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) {
    out[static_cast<R_xlen_t>(k)] = Rcpp::String(texts[k], CE_UTF8);
  }
  return out;
}

}  // namespace

// [[Rcpp::export(.mc_cluster_pairs)]]
Rcpp::List mc_cluster_pairs(Rcpp::NumericVector pairs, int strategy) {
  const std::span<const double> values(pairs.begin(), static_cast<std::size_t>(pairs.size()));
  std::vector<double> packed = bindings::packed_from_pairs(values, bindings::Numbering::FromOne);
  const auto n = static_cast<std::int32_t>(bindings::locations_of_pairs(pairs.size()));
  return hclust_parts(bindings::cluster_packed(std::move(packed), n, strategy));
}

// [[Rcpp::export(.mc_cluster_square)]]
Rcpp::List mc_cluster_square(Rcpp::NumericMatrix square, int strategy) {
  const std::span<const double> values(square.begin(), static_cast<std::size_t>(square.size()));
  const std::int64_t n = square.nrow();
  std::vector<double> packed =
      bindings::packed_from_square(values, n, false, bindings::Numbering::FromOne);
  return hclust_parts(bindings::cluster_packed(std::move(packed), static_cast<std::int32_t>(n), strategy));
}

// The trees of a job: read as it finished (`run` false), or JOB.EMA
// clustered with `strategy`.
// [[Rcpp::export(.mc_job)]]
Rcpp::List mc_job(std::string job, int strategy, bool run) {
  const bindings::JobTrees trees = run ? bindings::run_job(job, strategy) : bindings::read_job(job);
  Rcpp::List years(trees.years.size());
  for (std::size_t k = 0; k < trees.years.size(); ++k) {
    const metclust::jobs::Year& year = trees.years[k];
    Rcpp::List parts = hclust_parts(year.tree);
    parts["column"] = year.column;
    parts["year"] = year.year;
    parts["label"] = Rcpp::String(year.label, CE_UTF8);
    parts["labels"] = utf8_texts(trees.labels[k]);
    years[static_cast<R_xlen_t>(k)] = parts;
  }
  return Rcpp::List::create(Rcpp::Named("title") = Rcpp::String(trees.title, CE_UTF8),
                            Rcpp::Named("strategy") = trees.strategy,
                            Rcpp::Named("full_precision") = trees.full_precision,
                            Rcpp::Named("notes") = utf8_texts(trees.notes),
                            Rcpp::Named("years") = years);
}
