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
    {9, "Blur", Blur},
    {10, "UnsharpMask", UnsharpMask},
    {12, "Despeckle", Despeckle},
    {14, "Noise", Noise},
    {15, "Contour", Contour},
    {16, "Solarize", Solarize},
    {17, "LogBrighten", LogBrighten},
    {81, "OilPaint", OilPaint},
    {82, "EdgeDetect", EdgeDetect},
    {83, "AddNoise", AddNoise},
    {84, "Diffuse", Diffuse},
    {85, "Drip", Drip},
    {86, "Wave", Wave},
    {87, "Jitter", Jitter},
    {88, "Tiles", Tiles},
    {89, "Mosaic", Mosaic},
    {90, "Emboss", Emboss},
    {91, "MotionBlur", MotionBlur},
    {92, "Pinch", RadialRemap},
    {93, "Punch", RadialRemap},
    {94, "Sphere", RadialRemap},
    {95, "Whirlpool", RadialRemap},
    {96, "Twirl", RadialRemap},
    {97, "Cylinder", Cylinder},
    {98, "Curtain", Curtain},
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
