#include "app/buttons/button_host.h"

#include "resources/messages.h"

namespace tx {

std::string ButtonHost::Text(int id) {
  // Ids -1 and 0 mean "no text" in the button tables.
  if (id <= 0) return {};
  return LoadText(static_cast<unsigned>(id));
}

}  // namespace tx
