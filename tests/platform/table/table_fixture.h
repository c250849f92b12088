#pragma once
// Tables the tests start from, written by our engine, and tag listings in the
// form Perl's XBase::Index prints them.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"

namespace pu::test {

// One text per field: C as is, N/F/I a number, L "T" or "F", D "YYYYMMDD",
// M the memo; "" leaves the field blank.
using Row = std::vector<std::string>;

Status appendRow(table::Table& t, const Row& row);
// The table created with the rows and a production index of the tags (none:
// no .cdx), open for writing; nullptr and a test failure when a step fails.
std::unique_ptr<table::Table> makeTable(const std::string& path, const std::vector<table::FieldSpec>& fields,
                                        const std::vector<Row>& rows = {}, const std::vector<table::TagSpec>& tags = {},
                                        table::TableFormat format = table::TableFormat::VisualFoxPro);
// The table open (nullptr and a test failure when it does not open).
std::unique_ptr<table::Table> openTable(const std::string& path, bool writable = true);
// The table open for writing with its production index attached, as the program opens it.
std::unique_ptr<table::Table> openWithIndex(const std::string& path);
table::CompoundIndex& indexOf(table::Table& t);
// Copies a published table ("set/name") with its memo and index into dir;
// returns the copy's .dbf path.
std::string copyCorpusTable(const std::string& name, const std::string& dir);
// Every file of the corpus with that extension (".dbf", ".cdx"), sorted.
std::vector<std::string> corpusFiles(const std::string& extension);

// A tag's keys and record numbers in its own order, or from the last back.
std::vector<std::pair<std::string, std::uint32_t>> tagEntries(table::CompoundIndex& index, int tag, bool backward = false);
// A tag walked in its stored (ascending) order, a line per entry: the key in
// hex (hexOf) without its trailing filler, TAB, the record number.
std::string tagListing(table::CompoundIndex& index, int tag);
// Every tag as XBase::Index lists it from the file, against tagListing.
void expectXBaseListsEveryTag(table::CompoundIndex& index, const std::string& path);

} // namespace pu::test
