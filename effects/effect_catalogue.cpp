#include <array>

#include "effects/effects_p.h"
#include "effects/fxkit.h"

namespace tx::fx {
namespace {

struct CatalogueEntry {
  int id;
  const char* name;
  EffectFunction run;  // null while the effect is not built
};

// Every catalogued id with its effect; adding an effect means writing its
// file and naming its function here.
constexpr std::array<CatalogueEntry, 31> kCatalogue = {{
    {1, "OneTouchEnhance", OneTouchEnhance},
    {2, "BrightnessContrast", BrightnessContrast},
    {3, "HueSaturation", HueSaturation},
    {4, "ToneAdjust", ToneAdjust},
    {6, "Equalize", Equalize},
    {7, "Negative", Negative},
    {9, "Blur", nullptr},
    {10, "UnsharpMask", nullptr},
    {12, "Despeckle", nullptr},
    {14, "Noise", nullptr},
    {15, "Contour", nullptr},
    {16, "Solarize", Solarize},
    {17, "LogBrighten", LogBrighten},
    {81, "OilPaint", nullptr},
    {82, "EdgeDetect", nullptr},
    {83, "AddNoise", nullptr},
    {84, "Diffuse", nullptr},
    {85, "Drip", nullptr},
    {86, "Wave", nullptr},
    {87, "Jitter", nullptr},
    {88, "Tiles", nullptr},
    {89, "Mosaic", nullptr},
    {90, "Emboss", nullptr},
    {91, "MotionBlur", nullptr},
    {92, "Pinch", nullptr},
    {93, "Punch", nullptr},
    {94, "Sphere", nullptr},
    {95, "Whirlpool", nullptr},
    {96, "Twirl", nullptr},
    {97, "Effect97", nullptr},
    {98, "Curtain", nullptr},
}};

std::array<EffectInfo, kCatalogue.size()> MakeInfo() {
  std::array<EffectInfo, kCatalogue.size()> info{};
  for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
    info[i] = EffectInfo{kCatalogue[i].id, kCatalogue[i].name, kCatalogue[i].run != nullptr};
  }
  return info;
}

// Built at load time: a function's address is not a constant under every build.
const auto kInfo = MakeInfo();

}  // namespace

EffectFunction FindEffect(int id) {
  for (const CatalogueEntry& entry : kCatalogue) {
    if (entry.id == id) return entry.run;
  }
  return nullptr;
}

std::span<const EffectInfo> EffectCatalogue() {
  return kInfo;
}

}  // namespace tx::fx
