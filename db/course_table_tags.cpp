#include "db/course_table_tags.h"

#include <cctype>
#include <string>

namespace pu {
namespace {

using table::TagSpec;

// Node keys are the tree right-aligned in 3 and the node right-aligned in 7,
// which STR() produces directly.
const std::vector<TagSpec> kStandardTags = {
    {"StandardID", "STR(tree_id,3)+STR(node_id,7)", "", false, false, false, false},
    {"treeprntid", "STR(tree_id,3)+STR(parent_id,7)+STR(Order,3)", "", false, false, false, false},
    {"node_id", "PADR(LTRIM(STR(node_id,7)),7)", "", false, false, false, false},
    {"tree_id", "STR(tree_id,3)", "", false, false, false, false}};

const std::vector<TagSpec> kLinkTags = {
    {"stanquesid", "STR(stanquesid,7)", "", false, false, false, false},
    {"StandardID", "STR(tree_id,3)+STR(node_id,7)", "", false, false, false, false},
    {"quest_id", "STR(quest_id,7)", "", false, false, false, false},
    {"treequesid", "STR(tree_id,3)+STR(quest_id,7)", "", false, false, false, false}};

const std::vector<TagSpec> kQuestionTags = {
    {"quest_id", "PADL(LTRIM(STR(quest_id,7)),7,\"0\")", "", false, false, false, false}};

} // namespace

const std::vector<TagSpec>* KnownCourseTags(std::string_view tableName) {
  std::string name(tableName);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "standard") return &kStandardTags;
  if (name == "stanques") return &kLinkTags;
  if (name == "quests") return &kQuestionTags;
  return nullptr;
}

} // namespace pu
