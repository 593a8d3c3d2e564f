#include "tools/skincomp/skin_build.h"

#include <QPainter>
#include <QString>
#include <array>
#include <map>

#include "tools/skincomp/click_sound.h"
#include "tools/skincomp/picture_io.h"
#include "tools/skincomp/skin_writer.h"
#include "tools/skincomp/table_writer.h"

namespace tx::skincomp {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUiFolder = "ui";
constexpr const char* kMainExtension = ".800";
constexpr const char* kBarExtension = ".dta";
constexpr const char* kMainSkin = "button.800";
constexpr const char* kBarSkin = "detail.dta";
constexpr const char* kListSkin = "Listbtn.800";

class Builder {
 public:
  Builder(const Art& art, const BuildOptions& options, std::string& error)
      : m_art(art), m_options(options), m_error(error) {}

  fs::path Ui(const std::string& name) const { return m_options.programDir / kUiFolder / name; }

  bool WriteBitmap(const fs::path& path, const QImage& image) {
    std::vector<std::uint8_t> bytes;
    if (!BitmapFileBytes(image, bytes, m_error)) {
      m_error = path.string() + ": " + m_error;
      return false;
    }
    Preview(path.filename().string(), image);
    return WriteOutput(path, bytes, m_error);
  }

  // Throwaway PNGs to look at, when asked for.
  void Preview(const std::string& name, const QImage& image) const {
    if (m_options.previewDir.empty()) return;
    std::error_code ec;
    fs::create_directories(m_options.previewDir, ec);
    image.save(QString::fromStdString((m_options.previewDir / (name + ".png")).string()));
  }

  // Three entries of one button from its pictures.
  bool Append(std::vector<skin::WriterEntry>& group, const Rect& r, const StatePictures* pictures,
              std::uint16_t kind, std::uint16_t link, const std::string& previewName) {
    std::array<PackedImage, 3> packed;
    if (pictures) {
      for (std::size_t i = 0; i < 3; ++i) {
        packed[i] = ToPackedImage((*pictures)[i]);
        if (!packed[i]) {
          m_error = "no memory for a button picture";
          return false;
        }
      }
      if (!m_options.previewDir.empty() && !previewName.empty() && m_options.previewWords.empty()) {
        for (std::size_t i = 0; i < 3; ++i)
          Preview(previewName + "_" + std::to_string(i), (*pictures)[i]);
      }
    }
    skin::AppendButton(group, std::uint16_t(r.x), std::uint16_t(r.y), std::uint16_t(r.width),
                       std::uint16_t(r.height), packed[0].get(), packed[1].get(), packed[2].get(),
                       kind, link);
    return true;
  }

  // One screen: its background file and its skin group.
  bool Screen(const ScreenSource& s, const fs::path& backgroundPath,
              std::vector<skin::WriterEntry>& group, const std::string& previewPrefix) {
    const QImage background = m_art.ScreenBackground(s);
    if (!WriteBitmap(backgroundPath, background)) return false;
    if (!m_options.previewDir.empty()) PreviewScreen(s, background, previewPrefix + "_whole");
    for (std::size_t i = 0; i < s.records.size(); ++i) {
      const auto& r = s.records[i];
      // Areas carry no pictures: the background shows through them.
      if (r.isArea) {
        if (!Append(group, r.rect, nullptr, 0, 0, {})) return false;
        continue;
      }
      const StatePictures pictures = m_art.ButtonPictures(r, background);
      if (!Append(group, r.rect, &pictures, r.Kind(), std::uint16_t(r.link),
                  previewPrefix + "_" + std::to_string(i) + "_" + r.command))
        return false;
    }
    return true;
  }

  // A whole screen as the program shows it, every button in `state`, with
  // the words when the preview has them: to look at, not shipped.
  void PreviewScreen(const ScreenSource& s, const QImage& background, const std::string& name) {
    for (int state = 0; state < 3; ++state) {
      QImage image = background.copy();
      QPainter p(&image);
      p.setRenderHint(QPainter::TextAntialiasing);
      for (const auto& r : s.records) {
        if (r.isArea) continue;
        const StatePictures pictures = m_art.ButtonPictures(r, background);
        p.drawImage(r.rect.x, r.rect.y, pictures[std::size_t(state)]);
      }
      QFont font("DejaVu Sans");
      for (const auto& t : s.texts) {
        font.setPixelSize(
            t.role == TextRoleSource::Heading || t.role == TextRoleSource::Title ? 16 : 13);
        font.setBold(t.role == TextRoleSource::Title);
        p.setFont(font);
        p.setPen(t.role == TextRoleSource::Secondary ? QColor(0xA9, 0xA9, 0xBC) : Qt::white);
        const int align = t.align == TextAlignSource::Left    ? Qt::AlignLeft
                          : t.align == TextAlignSource::Right ? Qt::AlignRight
                                                              : Qt::AlignHCenter;
        p.drawText(QRect(t.rect.x, t.rect.y, t.rect.width, t.rect.height), align | Qt::AlignVCenter,
                   Word(t.stringId));
      }
      font.setPixelSize(13);
      font.setBold(false);
      p.setFont(font);
      p.setPen(Qt::white);
      for (const auto& r : s.records) {
        if (r.labelId <= 0) continue;
        p.drawText(QRect(r.rect.right() + 6, r.rect.y, 300, r.rect.height),
                   Qt::AlignLeft | Qt::AlignVCenter, Word(r.labelId));
      }
      p.end();
      Preview(name + "_state" + std::to_string(state), image);
    }
  }

  QString Word(int id) const {
    auto it = m_options.previewWords.find(id);
    return it == m_options.previewWords.end() ? QString("#%1").arg(id)
                                              : QString::fromStdString(it->second);
  }

  bool MainScreens(const SkinSource& source) {
    std::vector<std::vector<skin::WriterEntry>> groups(kMainScreens);
    for (int n = 0; n < kMainScreens; ++n) {
      if (!Screen(*source.MainScreen(n), Ui("screen" + std::to_string(n) + kMainExtension),
                  groups[std::size_t(n)], "button_s" + std::to_string(n)))
        return false;
    }
    return WriteOutput(Ui(kMainSkin), skin::WriteSkinFile(groups), m_error);
  }

  bool DetailBar(const SkinSource& source) {
    std::vector<std::vector<skin::WriterEntry>> groups(1);
    if (!Screen(*source.DetailBar(), Ui(std::string("screen0") + kBarExtension), groups[0],
                "detail"))
      return false;
    return WriteOutput(Ui(kBarSkin), skin::WriteSkinFile(groups), m_error);
  }

  // A list as it shows: the second row hot, the third pressed, with ticks.
  void PreviewList(const ListGroupSource& list, const QImage& background, const StatePictures& up,
                   const StatePictures& down) const {
    QImage image = background.copy();
    QPainter p(&image);
    p.drawImage(list.up->x, list.up->y, up[0]);
    p.drawImage(list.down->x, list.down->y, down[1]);
    const TickSetSource ticks{{}, "status", 4, 16, 16, TickLook::Weight};
    for (std::size_t row = 0; row < list.rows.size(); ++row) {
      const Rect& r = list.rows[row];
      const StatePictures pictures = m_art.ListRowPictures(r, background);
      p.drawImage(r.x, r.y, pictures[row == 1 ? 1 : row == 2 ? 2 : 0]);
      p.drawImage(r.x + 4, r.y + (r.height - 16) / 2, m_art.Tick(ticks, int(row % 4)));
      p.setPen(row == 1 ? QColor(255, 0, 0) : QColor(Qt::white));
      QFont font("DejaVu Sans");
      font.setPixelSize(13);
      p.setFont(font);
      p.drawText(QRect(r.x + 26, r.y, r.width - 30, r.height), Qt::AlignVCenter | Qt::AlignLeft,
                 QString("Item %1").arg(row + 1));
    }
    p.end();
    Preview("whole_list_g" + std::to_string(list.group), image);
  }

  bool Lists(const SkinSource& source) {
    std::map<std::string, QImage> backgrounds;
    for (const auto& b : source.listBackgrounds) {
      QImage image = m_art.ListBackground(b);
      if (!WriteBitmap(Ui(b.name + kMainExtension), image)) return false;
      backgrounds[b.name] = image;
    }
    // Groups 0 and 1 stay empty; the lists use groups 2 to 12.
    std::vector<std::vector<skin::WriterEntry>> groups(kLastListGroup + 1);
    for (int g = kFirstListGroup; g <= kLastListGroup; ++g) {
      const ListGroupSource* list = nullptr;
      for (const auto& candidate : source.listGroups) {
        if (candidate.group == g) list = &candidate;
      }
      const QImage& background = backgrounds.at(list->background);
      auto& entries = groups[std::size_t(g)];
      const std::string name = "list_g" + std::to_string(g);
      const StatePictures up = m_art.ListArrowPictures(*list->up, true, background);
      const StatePictures down = m_art.ListArrowPictures(*list->down, false, background);
      if (!Append(entries, *list->up, &up, 0, 0, name + "_up") ||
          !Append(entries, *list->down, &down, 0, 0, name + "_down"))
        return false;
      if (!m_options.previewDir.empty()) PreviewList(*list, background, up, down);
      for (std::size_t row = 0; row < list->rows.size(); ++row) {
        const StatePictures pictures = m_art.ListRowPictures(list->rows[row], background);
        if (!Append(entries, list->rows[row], &pictures, 0, 0,
                    row == 0 ? name + "_row" : std::string()))
          return false;
      }
    }
    return WriteOutput(Ui(kListSkin), skin::WriteSkinFile(groups), m_error);
  }

  bool Extras(const SkinSource& source) {
    for (const auto& t : source.ticks) {
      for (int state = 0; state < t.count; ++state) {
        if (!WriteBitmap(Ui(t.name + std::to_string(state) + kMainExtension), m_art.Tick(t, state)))
          return false;
      }
    }
    for (const auto& p : source.pictures) {
      if (!WriteBitmap(Ui(p.name + kMainExtension), m_art.Picture(p))) return false;
    }
    for (const auto& s : source.sounds) {
      if (!WriteOutput(m_options.programDir / s.name, ClickWav(), m_error)) return false;
    }
    return true;
  }

  bool Tables(const SkinSource& source) {
    const std::string text = ScreenTablesSource(source);
    return WriteOutput(m_options.tablesFile,
                       std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                       m_error);
  }

 private:
  const Art& m_art;
  const BuildOptions& m_options;
  std::string& m_error;
};

}  // namespace

bool BuildSkins(const SkinSource& source, const Art& art, const BuildOptions& options,
                std::string& error) {
  Builder b(art, options, error);
  return b.MainScreens(source) && b.DetailBar(source) && b.Lists(source) && b.Extras(source) &&
         (options.tablesFile.empty() || b.Tables(source));
}

}  // namespace tx::skincomp
