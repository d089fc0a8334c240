// The engine for Python: a condensed or square matrix clustered in-process
// into scipy's linkage matrix, and the trees of a job; metclust/__init__.py
// checks the arguments and assembles what the user gets.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "bindings/hclust.hpp"
#include "bindings/job.hpp"

namespace py = pybind11;
namespace bindings = metclust::bindings;

namespace {

using Matrix = py::array_t<double, py::array::c_style | py::array::forcecast>;

py::array_t<double> linkage_array(const metclust::trees::Tree& tree) {
  const std::vector<double> rows = bindings::scipy_linkage_matrix(tree);
  py::array_t<double> out({static_cast<py::ssize_t>(rows.size() / 4), py::ssize_t{4}});
  if (!rows.empty()) std::memcpy(out.mutable_data(), rows.data(), rows.size() * sizeof(double));
  return out;
}

py::array_t<double> cluster_condensed(const Matrix& y, int strategy) {
  if (y.ndim() != 1) throw std::invalid_argument("a condensed matrix is a vector");
  metclust::trees::Tree tree{0, {}};
  {
    py::gil_scoped_release unlocked;
    const std::span<const double> pairs(y.data(), static_cast<std::size_t>(y.size()));
    std::vector<double> packed = bindings::packed_from_pairs(pairs, bindings::Numbering::FromZero);
    const auto n = static_cast<std::int32_t>(bindings::locations_of_pairs(y.size()));
    tree = bindings::cluster_packed(std::move(packed), n, strategy);
  }
  return linkage_array(tree);
}

py::array_t<double> cluster_square(const Matrix& x, int strategy) {
  if (x.ndim() != 2 || x.shape(0) != x.shape(1)) throw std::invalid_argument("a square matrix is needed");
  metclust::trees::Tree tree{0, {}};
  {
    py::gil_scoped_release unlocked;
    const std::span<const double> values(x.data(), static_cast<std::size_t>(x.size()));
    const std::int64_t n = x.shape(0);
    std::vector<double> packed =
        bindings::packed_from_square(values, n, true, bindings::Numbering::FromZero);
    tree = bindings::cluster_packed(std::move(packed), static_cast<std::int32_t>(n), strategy);
  }
  return linkage_array(tree);
}

// The trees of a job: read as it finished (`run` false), or JOB.EMA
// clustered with `strategy`.
py::dict job(const std::string& path, int strategy, bool run) {
  bindings::JobTrees trees;
  {
    py::gil_scoped_release unlocked;
    trees = run ? bindings::run_job(path, strategy) : bindings::read_job(path);
  }
  py::list years;
  for (std::size_t k = 0; k < trees.years.size(); ++k) {
    const metclust::jobs::Year& year = trees.years[k];
    py::dict entry;
    entry["column"] = year.column;
    entry["year"] = year.year;
    entry["label"] = py::bytes(year.label);
    py::list labels;
    for (const std::string& label : trees.labels[k]) labels.append(py::bytes(label));
    entry["labels"] = labels;
    entry["linkage"] = linkage_array(year.tree);
    years.append(entry);
  }
  py::list notes;
  for (const std::string& note : trees.notes) notes.append(py::bytes(note));
  py::dict out;
  out["title"] = py::bytes(trees.title);
  out["strategy"] = trees.strategy;
  out["full_precision"] = trees.full_precision;
  out["notes"] = notes;
  out["years"] = years;
  return out;
}

}  // namespace

PYBIND11_MODULE(_engine, m) {
  m.doc() = "The metclust clustering engine, built from the project's sources.";
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const bindings::MissingFile& missing) {
      PyErr_SetString(PyExc_FileNotFoundError, missing.what());
    }
  });
  m.def("cluster_condensed", &cluster_condensed, py::arg("y"), py::arg("strategy"));
  m.def("cluster_square", &cluster_square, py::arg("x"), py::arg("strategy"));
  m.def("job", &job, py::arg("path"), py::arg("strategy"), py::arg("run"));
}
