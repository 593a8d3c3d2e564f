#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

constexpr int kSelectAll = 1;
constexpr int kSelectRed = 2;
constexpr int kSelectGreen = 3;
constexpr int kSelectBlue = 4;

}  // namespace

ToneTable IdentityTable() {
  ToneTable t;
  for (int i = 0; i < 256; ++i)
    t[std::size_t(i)] = std::uint8_t(i);
  return t;
}

ChannelTables TablesForSelector(const ToneTable& table, int selector) {
  const ToneTable identity = IdentityTable();
  ChannelTables t{identity, identity, identity};
  if (selector == kSelectAll || selector == kSelectBlue) t.blue = table;
  if (selector == kSelectAll || selector == kSelectGreen) t.green = table;
  if (selector == kSelectAll || selector == kSelectRed) t.red = table;
  return t;
}

GlobalHandle ApplyChannelTables(GlobalHandle image, const ChannelTables& tables,
                                const ToneTable* grayTable) {
  auto apply = [&tables](std::uint8_t* bgr) {
    bgr[0] = tables.blue[bgr[0]];
    bgr[1] = tables.green[bgr[1]];
    bgr[2] = tables.red[bgr[2]];
  };
  return MapColours(image, apply, grayTable);
}

}  // namespace tx::fx
