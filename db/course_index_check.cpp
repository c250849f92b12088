#include "db/course_index_check.h"

#include <memory>

#include "db/course_table_tags.h"
#include "platform/fs/file_system.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"

namespace pu {
namespace {

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string baseNameOf(const std::string& path) {
  std::string name = fileNameOf(path);
  return name.substr(0, name.find_last_of('.'));
}

// The engine's message with the folder left out, which the user chose and
// knows: the line keeps the file, the tag and what is wrong.
std::string withoutFolder(std::string message, const std::string& folder) {
  for (std::size_t at; !folder.empty() && (at = message.find(folder)) != std::string::npos;) message.erase(at, folder.size());
  return message;
}

bool exists(const std::string& path) { return FileSystem::instance().modifiedTime(path).has_value(); }

} // namespace

const std::vector<std::string>& CheckedCourseTables() {
  static const std::vector<std::string> tables = {"standard"};
  return tables;
}

std::optional<IndexProblem> CheckProductionIndex(const std::string& dbfPath) {
  std::unique_ptr<table::Table> t;
  if (!table::Table::open(dbfPath, false, &t)) return std::nullopt;
  const std::string cdxPath = table::indexPathFor(t->path());
  const bool present = exists(cdxPath);
  if (!present && !t->hasStructuralIndex()) return std::nullopt;
  const std::string folder = t->path().substr(0, t->path().find_last_of('/') + 1);
  IndexProblem problem{fileNameOf(t->path()), "", false};
  std::unique_ptr<table::CompoundIndex> index;
  table::CdxOpenOptions options;
  options.writable = false;
  Status s = present ? table::CompoundIndex::open(cdxPath, *t, &index, options)
                     : Status::notFound(fileNameOf(cdxPath) + " is missing");
  if (!s) {
    problem.unreadable = true;
    problem.what = withoutFolder(s.message(), folder);
    return problem;
  }
  s = index->check();
  if (s) return std::nullopt;
  problem.what = withoutFolder(s.message(), folder);
  return problem;
}

Status RebuildProductionIndex(const std::string& dbfPath, bool* fromRegistry) {
  *fromRegistry = false;
  std::unique_ptr<table::Table> t;
  Status s = table::Table::open(dbfPath, true, &t);
  if (!s) return s;
  const std::string cdxPath = table::indexPathFor(t->path());
  std::unique_ptr<table::CompoundIndex> index;
  Status opened = exists(cdxPath) ? table::CompoundIndex::open(cdxPath, *t, &index)
                                  : Status::notFound("'" + cdxPath + "' is missing");
  if (opened) return index->reindex();
  const std::vector<table::TagSpec>* tags = KnownCourseTags(baseNameOf(t->path()));
  if (!tags) return Status::corruption(opened.message() + "; its tag definitions are lost with it");
  *fromRegistry = true;
  s = table::CompoundIndex::create(cdxPath, *t, *tags, &index);
  if (s && !t->hasStructuralIndex()) s = t->setStructuralIndex(true);
  return s;
}

} // namespace pu
