// Helper of the printing test: makes the test picture, tells where a
// printer's printable area lies on its page, lists the sheets of a print
// plan that get a part of the picture, and compares a rendered page with the
// part of the picture the plan puts on that sheet.
//
//   sheet_check picture FILE.bmp WIDTH HEIGHT
//   sheet_check metrics QUEUE portrait|landscape
//   sheet_check sheets PLAN.json
//   sheet_check page PLAN.json INDEX PAGE.ppm WIDTH HEIGHT RENDER_DPI
//                    DPI_X DPI_Y OFFSET_X OFFSET_Y [turned]
//
// "turned": a landscape sheet came out on portrait paper, its content turned
// a quarter to the left as printers do; the page is turned a quarter to the
// right to read it before the comparison.
//
// The picture is a pure function of its size, so `page` recomputes it
// instead of reading it back. Exit codes: 0 match, 1 mismatch, 2 bad input.

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QtGui/QGuiApplication>
#include <QtGui/QPageLayout>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>

#include "output/print_layout.h"

namespace {

constexpr int kExitMismatch = 1;
constexpr int kExitBadInput = 2;

// Rendered pixels per side of a compared block, and the rendered pixels left
// out along every sheet border, where the resampling blends with the paper.
constexpr int kBlockSide = 6;
constexpr int kBorderInset = 2;
// Largest difference of a block's average colour from the expected one, per
// channel; the filters between the program and the PDF resample and may
// re-encode the picture.
constexpr double kBlockTolerance = 12.0;
// Outside the printed part the paper must stay blank.
constexpr int kPaperMinimum = 200;
constexpr int kMinBlocks = 16;

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
};

// Four quadrants told apart by red, a left-to-right gradient in green and a
// top-to-bottom one in blue: a misplaced, mirrored or wrongly scaled part
// changes the block averages well beyond the tolerance.
Rgb PicturePixel(int x, int y, int width, int height) {
  static constexpr std::array<int, 4> kQuadrantRed = {20, 235, 95, 165};
  const int quadrant = (2 * x >= width ? 1 : 0) + (2 * y >= height ? 2 : 0);
  return {kQuadrantRed[quadrant], width > 1 ? x * 255 / (width - 1) : 0,
          height > 1 ? y * 255 / (height - 1) : 0};
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

int WritePicture(const char* path, int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const std::uint32_t imageSize = static_cast<std::uint32_t>(stride) * height;
  constexpr std::uint32_t kHeaderSize = 14 + 40;
  std::string data = "BM";
  PutLe(data, kHeaderSize + imageSize, 4);
  PutLe(data, 0, 4);
  PutLe(data, kHeaderSize, 4);
  PutLe(data, 40, 4);
  PutLe(data, static_cast<std::uint32_t>(width), 4);
  PutLe(data, static_cast<std::uint32_t>(height), 4);
  PutLe(data, 1, 2);
  PutLe(data, 24, 2);
  PutLe(data, 0, 4);
  PutLe(data, imageSize, 4);
  PutLe(data, 2835, 4);  // 72 dpi
  PutLe(data, 2835, 4);
  PutLe(data, 0, 4);
  PutLe(data, 0, 4);
  // Rows bottom-up, pixels blue-green-red.
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = PicturePixel(x, y, width, height);
      data.push_back(static_cast<char>(c.b));
      data.push_back(static_cast<char>(c.g));
      data.push_back(static_cast<char>(c.r));
    }
    data.append(static_cast<std::size_t>(stride - width * 3), '\0');
  }
  std::ofstream file(path, std::ios::binary);
  file.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!file) {
    std::fprintf(stderr, "sheet_check: cannot write %s\n", path);
    return kExitBadInput;
  }
  return 0;
}

using Rect = tx::PrintRect;

struct Sheet {
  Rect source;
  Rect sheet;
};

std::optional<std::string> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// "key": [l, t, r, b] inside one sheet object.
std::optional<Rect> ReadQuad(std::string_view object, std::string_view key) {
  const std::string quoted = "\"" + std::string(key) + "\"";
  const std::size_t at = object.find(quoted);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t open = object.find('[', at + quoted.size());
  const std::size_t close = object.find(']', at + quoted.size());
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  const std::string list(object.substr(open + 1, close - open - 1));
  std::array<long, 4> values{};
  const char* cursor = list.c_str();
  for (long& value : values) {
    while (*cursor == ' ' || *cursor == ',' || *cursor == '\n' || *cursor == '\t')
      ++cursor;
    char* end = nullptr;
    value = std::strtol(cursor, &end, 10);
    if (end == cursor || value < -1000000 || value > 1000000) return std::nullopt;
    cursor = end;
  }
  while (*cursor == ' ' || *cursor == '\n' || *cursor == '\t')
    ++cursor;
  if (*cursor != '\0') return std::nullopt;
  return Rect{static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
              static_cast<int>(values[3])};
}

// The plan's "sheets" array; the sheet objects hold nothing nested but the
// two rectangles, so each runs from one brace to the next closing one.
std::optional<std::vector<Sheet>> ReadPlan(const char* path) {
  const std::optional<std::string> text = ReadFile(path);
  if (!text) {
    std::fprintf(stderr, "sheet_check: cannot read the plan %s\n", path);
    return std::nullopt;
  }
  const std::size_t key = text->find("\"sheets\"");
  const std::size_t open = key == std::string::npos ? key : text->find('[', key);
  if (open == std::string::npos) {
    std::fprintf(stderr, "sheet_check: the plan %s has no sheets\n", path);
    return std::nullopt;
  }
  std::vector<Sheet> sheets;
  std::size_t pos = open + 1;
  for (;;) {
    const std::size_t begin = text->find_first_of("{]", pos);
    if (begin == std::string::npos) break;
    if ((*text)[begin] == ']') return sheets;
    const std::size_t end = text->find('}', begin);
    if (end == std::string::npos) break;
    const std::string_view object(text->data() + begin, end - begin);
    const std::optional<Rect> source = ReadQuad(object, "source");
    const std::optional<Rect> sheet = ReadQuad(object, "sheet");
    if (!source || !sheet) break;
    sheets.push_back({*source, *sheet});
    pos = end + 1;
  }
  std::fprintf(stderr, "sheet_check: the sheets of the plan %s are malformed\n", path);
  return std::nullopt;
}

struct Page {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  Rgb At(int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
  }
};

// A binary PPM (P6, 8 bits per channel) as pdftoppm writes it.
std::optional<Page> ReadPpm(const char* path) {
  const std::optional<std::string> text = ReadFile(path);
  if (!text || text->size() < 2 || text->compare(0, 2, "P6") != 0) {
    std::fprintf(stderr, "sheet_check: %s is not a binary PPM\n", path);
    return std::nullopt;
  }
  std::size_t pos = 2;
  std::array<long, 3> header{};
  for (long& value : header) {
    for (;;) {
      while (pos < text->size() && std::isspace(static_cast<unsigned char>((*text)[pos])))
        ++pos;
      if (pos < text->size() && (*text)[pos] == '#') {
        pos = text->find('\n', pos);
        if (pos == std::string::npos) return std::nullopt;
        continue;
      }
      break;
    }
    char* end = nullptr;
    value = std::strtol(text->c_str() + pos, &end, 10);
    if (end == text->c_str() + pos) return std::nullopt;
    pos = static_cast<std::size_t>(end - text->c_str());
  }
  ++pos;  // the single white-space character before the samples
  constexpr long kMaxSide = 20000;
  if (header[0] < 1 || header[1] < 1 || header[0] > kMaxSide || header[1] > kMaxSide ||
      header[2] != 255) {
    std::fprintf(stderr, "sheet_check: %s has an unsupported PPM header\n", path);
    return std::nullopt;
  }
  Page page;
  page.width = static_cast<int>(header[0]);
  page.height = static_cast<int>(header[1]);
  const std::size_t bytes = static_cast<std::size_t>(page.width) * page.height * 3;
  if (text->size() < pos || text->size() - pos < bytes) {
    std::fprintf(stderr, "sheet_check: %s is truncated\n", path);
    return std::nullopt;
  }
  page.rgb.assign(text->begin() + static_cast<std::ptrdiff_t>(pos),
                  text->begin() + static_cast<std::ptrdiff_t>(pos + bytes));
  return page;
}

// The page turned a quarter clockwise.
Page TurnRight(const Page& page) {
  Page turned;
  turned.width = page.height;
  turned.height = page.width;
  turned.rgb.resize(page.rgb.size());
  std::size_t at = 0;
  for (int y = 0; y < turned.height; ++y) {
    for (int x = 0; x < turned.width; ++x) {
      const Rgb c = page.At(y, page.height - 1 - x);
      turned.rgb[at++] = static_cast<std::uint8_t>(c.r);
      turned.rgb[at++] = static_cast<std::uint8_t>(c.g);
      turned.rgb[at++] = static_cast<std::uint8_t>(c.b);
    }
  }
  return turned;
}

struct Mapping {
  double renderDpi = 0;
  double dpiX = 0;
  double dpiY = 0;
  double offsetX = 0;
  double offsetY = 0;

  // Printer pixels of the printable area to rendered page pixels and back.
  double PageX(double printerX) const { return (offsetX + printerX) * renderDpi / dpiX; }
  double PageY(double printerY) const { return (offsetY + printerY) * renderDpi / dpiY; }
  double PrinterX(double pageX) const { return pageX * dpiX / renderDpi - offsetX; }
  double PrinterY(double pageY) const { return pageY * dpiY / renderDpi - offsetY; }
};

struct Average {
  double r = 0;
  double g = 0;
  double b = 0;
};

// The picture's average colour over source pixels [x0, x1) x [y0, y1).
Average PictureAverage(int x0, int y0, int x1, int y1, int width, int height) {
  Average sum;
  double count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Rgb c = PicturePixel(x, y, width, height);
      sum.r += c.r;
      sum.g += c.g;
      sum.b += c.b;
      ++count;
    }
  }
  if (count > 0) sum = {sum.r / count, sum.g / count, sum.b / count};
  return sum;
}

Average PageAverage(const Page& page, int x0, int y0, int x1, int y1) {
  Average sum;
  double count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Rgb c = page.At(x, y);
      sum.r += c.r;
      sum.g += c.g;
      sum.b += c.b;
      ++count;
    }
  }
  if (count > 0) sum = {sum.r / count, sum.g / count, sum.b / count};
  return sum;
}

double Difference(const Average& a, const Average& b) {
  return std::max({std::fabs(a.r - b.r), std::fabs(a.g - b.g), std::fabs(a.b - b.b)});
}

// Source column (or row) of a printer coordinate inside the sheet rectangle.
double SourceAt(double printer, int sheetStart, int sheetLength, int sourceStart,
                int sourceLength) {
  return sourceStart + (printer - sheetStart) * sourceLength / sheetLength;
}

int CheckPage(const Sheet& part, const Page& page, int pictureWidth, int pictureHeight,
              const Mapping& map) {
  const Rect& src = part.source;
  const Rect& dst = part.sheet;
  if (src.Empty() || dst.Empty() || src.left < 0 || src.top < 0 || src.right > pictureWidth ||
      src.bottom > pictureHeight) {
    std::printf("sheet_check: the sheet's rectangles are empty or outside the picture\n");
    return kExitMismatch;
  }
  // The printed part on the rendered page, without its blended border.
  const int left = static_cast<int>(std::ceil(map.PageX(dst.left))) + kBorderInset;
  const int top = static_cast<int>(std::ceil(map.PageY(dst.top))) + kBorderInset;
  const int right = static_cast<int>(std::floor(map.PageX(dst.right))) - kBorderInset;
  const int bottom = static_cast<int>(std::floor(map.PageY(dst.bottom))) - kBorderInset;
  if (left < 0 || top < 0 || right > page.width || bottom > page.height) {
    std::printf("sheet_check: the sheet rectangle lies outside the %d x %d page\n", page.width,
                page.height);
    return kExitMismatch;
  }

  int blocks = 0;
  int bad = 0;
  double worst = 0;
  int worstX = 0;
  int worstY = 0;
  for (int by = top; by + kBlockSide <= bottom; by += kBlockSide) {
    for (int bx = left; bx + kBlockSide <= right; bx += kBlockSide) {
      const double sx0 = SourceAt(map.PrinterX(bx), dst.left, dst.Width(), src.left, src.Width());
      const double sx1 =
          SourceAt(map.PrinterX(bx + kBlockSide), dst.left, dst.Width(), src.left, src.Width());
      const double sy0 = SourceAt(map.PrinterY(by), dst.top, dst.Height(), src.top, src.Height());
      const double sy1 =
          SourceAt(map.PrinterY(by + kBlockSide), dst.top, dst.Height(), src.top, src.Height());
      const int x0 = std::clamp(static_cast<int>(std::floor(sx0)), src.left, src.right - 1);
      const int y0 = std::clamp(static_cast<int>(std::floor(sy0)), src.top, src.bottom - 1);
      const int x1 = std::clamp(static_cast<int>(std::ceil(sx1)), x0 + 1, src.right);
      const int y1 = std::clamp(static_cast<int>(std::ceil(sy1)), y0 + 1, src.bottom);
      const double difference =
          Difference(PictureAverage(x0, y0, x1, y1, pictureWidth, pictureHeight),
                     PageAverage(page, bx, by, bx + kBlockSide, by + kBlockSide));
      ++blocks;
      if (difference > kBlockTolerance) ++bad;
      if (difference > worst) {
        worst = difference;
        worstX = bx;
        worstY = by;
      }
    }
  }
  if (blocks < kMinBlocks) {
    std::printf("sheet_check: only %d blocks to compare; render the page at a higher resolution\n",
                blocks);
    return kExitMismatch;
  }

  // Blank paper around the part (a border of the inset is allowed to blend).
  long inked = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      const bool nearPart = x >= left - 2 * kBorderInset && x < right + 2 * kBorderInset &&
                            y >= top - 2 * kBorderInset && y < bottom + 2 * kBorderInset;
      if (nearPart) continue;
      const Rgb c = page.At(x, y);
      if (std::min({c.r, c.g, c.b}) < kPaperMinimum) ++inked;
    }
  }

  std::printf(
      "%d blocks, %d beyond tolerance, worst difference %.1f at (%d, %d); "
      "%ld inked pixels outside the part\n",
      blocks, bad, worst, worstX, worstY, inked);
  return bad == 0 && inked == 0 ? 0 : kExitMismatch;
}

// The resolution of a printer queue as the program prints on it (its high
// resolution) and the offset of the printable area on the page, in printer
// pixels, in the given orientation: "DPI_X DPI_Y OFFSET_X OFFSET_Y".
int PrintMetrics(const char* queue, bool portrait) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "sheet_check";
  char* argv[] = {name, nullptr};
  const QGuiApplication application(argc, argv);
  const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromLocal8Bit(queue));
  if (info.isNull()) {
    std::fprintf(stderr, "sheet_check: no printer queue %s\n", queue);
    return kExitBadInput;
  }
  QPrinter printer(info, QPrinter::HighResolution);
  printer.setPageOrientation(portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
  std::printf("%d %d %g %g\n", printer.logicalDpiX(), printer.logicalDpiY(), printable.left(),
              printable.top());
  return 0;
}

bool ParseInt(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool ParseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= low && value <= high;
}

int Usage() {
  std::fprintf(stderr,
               "usage: sheet_check picture FILE.bmp WIDTH HEIGHT\n"
               "       sheet_check metrics QUEUE portrait|landscape\n"
               "       sheet_check sheets PLAN.json\n"
               "       sheet_check page PLAN.json INDEX PAGE.ppm WIDTH HEIGHT RENDER_DPI\n"
               "                        DPI_X DPI_Y OFFSET_X OFFSET_Y [turned]\n");
  return kExitBadInput;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kMaxPictureSide = 10000;
  constexpr double kMaxDpi = 10000;
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "picture" && argc == 5) {
    int width = 0;
    int height = 0;
    if (!ParseInt(argv[3], 1, kMaxPictureSide, width) ||
        !ParseInt(argv[4], 1, kMaxPictureSide, height)) {
      return Usage();
    }
    return WritePicture(argv[2], width, height);
  }
  if (command == "metrics" && argc == 4) {
    const std::string_view orientation = argv[3];
    if (orientation != "portrait" && orientation != "landscape") return Usage();
    return PrintMetrics(argv[2], orientation == "portrait");
  }
  if (command == "sheets" && argc == 3) {
    const std::optional<std::vector<Sheet>> plan = ReadPlan(argv[2]);
    if (!plan) return kExitBadInput;
    for (std::size_t i = 0; i < plan->size(); ++i) {
      if (!(*plan)[i].sheet.Empty()) std::printf("%zu\n", i);
    }
    return 0;
  }
  if (command == "page" && (argc == 12 || argc == 13)) {
    if (argc == 13 && std::string_view(argv[12]) != "turned") return Usage();
    int index = 0;
    int width = 0;
    int height = 0;
    Mapping map;
    if (!ParseInt(argv[3], 0, 100, index) || !ParseInt(argv[5], 1, kMaxPictureSide, width) ||
        !ParseInt(argv[6], 1, kMaxPictureSide, height) ||
        !ParseNumber(argv[7], 1, kMaxDpi, map.renderDpi) ||
        !ParseNumber(argv[8], 1, kMaxDpi, map.dpiX) ||
        !ParseNumber(argv[9], 1, kMaxDpi, map.dpiY) ||
        !ParseNumber(argv[10], 0, 1e6, map.offsetX) ||
        !ParseNumber(argv[11], 0, 1e6, map.offsetY)) {
      return Usage();
    }
    const std::optional<std::vector<Sheet>> plan = ReadPlan(argv[2]);
    if (!plan) return kExitBadInput;
    if (static_cast<std::size_t>(index) >= plan->size()) {
      std::fprintf(stderr, "sheet_check: the plan has no sheet %d\n", index);
      return kExitBadInput;
    }
    const std::optional<Page> page = ReadPpm(argv[4]);
    if (!page) return kExitBadInput;
    const Sheet& part = (*plan)[static_cast<std::size_t>(index)];
    return CheckPage(part, argc == 13 ? TurnRight(*page) : *page, width, height, map);
  }
  return Usage();
}
