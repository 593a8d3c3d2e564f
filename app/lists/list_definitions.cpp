// The fixed table of list definitions: which skin group, background and
// state pictures each list control uses, and whether it is a drop-down.

#include <algorithm>

#include "app/lists/skinned_list.h"

namespace tx {
namespace {

constexpr const char* kRowSkin = "ui/Listbtn.800";
constexpr const char* kStatusStates = "ui/status.800";
constexpr const char* kDeleteStates = "ui/delete.800";

// Both skin sets name the same files: the lists look alike in either.
constexpr ListDefinition Row(int id, int skinGroup, bool dropDown, const char* background,
                             const char* states) {
  return ListDefinition{
      id, skinGroup, dropDown, {kRowSkin, kRowSkin}, {background, background}, {states, states}};
}

constexpr ListDefinition kDefinitions[] = {
    Row(1000, 11, false, "ui/list7.800", kStatusStates),
    Row(1001, 12, false, "ui/list7.800", kStatusStates),
    Row(1002, 2, false, "ui/list0.800", kStatusStates),
    Row(1006, 3, true, "ui/list1.800", kStatusStates),
    Row(1003, 4, false, "ui/list2.800", kStatusStates),
    Row(1004, 5, false, "ui/list2.800", kDeleteStates),
    Row(1005, 6, false, "ui/list2.800", kStatusStates),
    Row(1012, 7, false, "ui/list3.800", kDeleteStates),
    Row(1007, 8, true, "ui/list4.800", kStatusStates),
    Row(1008, 9, true, "ui/list5.800", kStatusStates),
    Row(1009, 10, true, "ui/list6.800", kStatusStates),
    Row(1010, 9, true, "ui/list5.800", kStatusStates),
    Row(1011, 9, true, "ui/list5.800", kStatusStates),
    Row(1013, 9, true, "ui/list5.800", kStatusStates),
    Row(1014, 9, true, "ui/list5.800", kStatusStates),
    Row(1015, 9, true, "ui/list5.800", kStatusStates),
    Row(1016, 8, true, "ui/list8.800", kStatusStates),
};

}  // namespace

std::span<const ListDefinition> ListDefinitions() {
  return kDefinitions;
}

const ListDefinition* FindListDefinition(int id) {
  auto it = std::find_if(std::begin(kDefinitions), std::end(kDefinitions),
                         [id](const ListDefinition& d) { return d.id == id; });
  return it == std::end(kDefinitions) ? nullptr : &*it;
}

bool IsUsableListDefinition(const ListDefinition& definition) {
  return definition.skinGroup >= 0 && definition.skinGroup < kListMaxSkinGroups;
}

}  // namespace tx
