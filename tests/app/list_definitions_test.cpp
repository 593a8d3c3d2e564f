#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/lists/skinned_list.h"

namespace tx {
namespace {

TEST(ListDefinitions, OneUsableRowForEachControlFrom1000To1016) {
  std::set<int> ids;
  for (const ListDefinition& d : ListDefinitions()) {
    EXPECT_TRUE(ids.insert(d.id).second) << d.id << " twice";
    EXPECT_EQ(FindListDefinition(d.id), &d);
    EXPECT_TRUE(IsUsableListDefinition(d)) << d.id;
    for (int set = 0; set < 2; ++set) {
      EXPECT_STREQ(d.rowSkin[set], "ui/Listbtn.800") << d.id;
      EXPECT_EQ(std::string(d.background[set]).rfind("ui/list", 0), 0u) << d.id;
    }
  }
  EXPECT_EQ(ids.size(), 17u);
  EXPECT_EQ(*ids.begin(), 1000);
  EXPECT_EQ(*ids.rbegin(), 1016);
  EXPECT_EQ(FindListDefinition(999), nullptr);
  EXPECT_EQ(FindListDefinition(1017), nullptr);
}

TEST(ListDefinitions, OnlyTheFirstThirteenSkinGroupsMayHoldLists) {
  ListDefinition d = *FindListDefinition(1001);
  d.skinGroup = kListMaxSkinGroups - 1;
  EXPECT_TRUE(IsUsableListDefinition(d));
  d.skinGroup = kListMaxSkinGroups;
  EXPECT_FALSE(IsUsableListDefinition(d));
  d.skinGroup = -1;
  EXPECT_FALSE(IsUsableListDefinition(d)) << "a negative group would load the whole skin";
}

}  // namespace
}  // namespace tx
