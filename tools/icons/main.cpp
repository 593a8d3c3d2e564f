// tx-icons LIBRARY_FOLDER OUT: the program's icon in the desktop's icon theme
// at its usual sizes, made from the icon the resource library holds:
// OUT/hicolor/<size>x<size>/apps/tesserix.png. Smaller sizes are filtered
// down; larger ones keep the tiles' sharp edges.

#include <cstdio>
#include <filesystem>
#include <string>

#include <QtCore/QDir>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>

#include "resources/resource_binding.h"

namespace {

constexpr unsigned kProgramIcon = 3009;
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tx-icons LIBRARY_FOLDER OUT\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  std::string error;
  const auto library = tx::ResourceLibrary::Load(argv[1], "Res_TX", error);
  if (!library) {
    std::fprintf(stderr, "tx-icons: %s\n", error.c_str());
    return 1;
  }
  unsigned size = 0;
  const unsigned char* bytes = library->Icon(kProgramIcon, size);
  const QImage icon = bytes != nullptr ? QImage::fromData(bytes, int(size), "PNG") : QImage();
  if (icon.isNull()) {
    std::fprintf(stderr, "tx-icons: the resource library holds no program icon\n");
    return 1;
  }
  const std::filesystem::path out = argv[2];
  for (const int side : kSizes) {
    const Qt::TransformationMode mode =
        side < icon.width() ? Qt::SmoothTransformation : Qt::FastTransformation;
    const QImage scaled =
        icon.convertToFormat(QImage::Format_ARGB32).scaled(side, side, Qt::IgnoreAspectRatio, mode);
    const std::string name = std::to_string(side) + "x" + std::to_string(side);
    const std::filesystem::path folder = out / "hicolor" / name / "apps";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::filesystem::path file = folder / "tesserix.png";
    if (!scaled.save(QString::fromStdString(file.string()), "PNG")) {
      std::fprintf(stderr, "tx-icons: cannot write %s\n", file.c_str());
      return 1;
    }
  }
  return 0;
}
