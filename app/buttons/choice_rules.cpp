#include "app/buttons/choice_rules_p.h"

namespace tx {

int ApplyChoice(std::vector<ButtonRecord>& records, int choiceGroup, int value,
                std::vector<int>& changed) {
  changed.clear();
  int lastOff = -1;
  if (choiceGroup == 0) return lastOff;
  for (std::size_t i = 0; i < records.size(); ++i) {
    ButtonRecord& r = records[i];
    // The marks 2 and 3 share the on field; a choice must not overwrite them.
    if (r.choiceGroup != choiceGroup || r.on == kOnSkippable || r.on == kOnPlainChoice) continue;
    const int on = ArgLow(r.argument) == value ? 1 : 0;
    if (r.on == on) continue;
    if (r.on == 1) lastOff = int(i);
    r.on = on;
    changed.push_back(int(i));
  }
  return lastOff;
}

bool ApplyToggle(std::vector<ButtonRecord>& records, int index, int value) {
  if (index < 0 || index >= int(records.size())) return false;
  ButtonRecord& r = records[std::size_t(index)];
  const int on = value == -1 ? (r.on == 1 ? 0 : 1) : value;
  if (r.on == on) return false;
  r.on = on;
  return true;
}

}  // namespace tx
