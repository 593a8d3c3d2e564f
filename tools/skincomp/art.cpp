#include "tools/skincomp/art.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tx::skincomp {
namespace {

using namespace colours;

constexpr int kTitleStripHeight = 40;
constexpr qreal kPanelRadius = 6;
constexpr qreal kButtonRadius = 8;
constexpr qreal kSmallRadius = 5;
constexpr int kTrackThickness = 4;
constexpr int kThumbDiameter = 16;

QRectF ToQ(const Rect& r) {
  return QRectF(r.x, r.y, r.width, r.height);
}

QImage NewImage(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

void Begin(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// A rounded rectangle filled, with an optional border drawn inside its edge
// so the shape never grows past the rectangle.
void RoundedBox(QPainter& p, const QRectF& r, qreal radius, const QColor& fill,
                const QColor& border = QColor(), qreal borderWidth = 0) {
  p.save();
  if (borderWidth > 0 && border.isValid()) {
    const qreal half = borderWidth / 2;
    p.setPen(QPen(border, borderWidth));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(half, half, -half, -half), radius, radius);
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
  }
  p.restore();
}

void Icon(QPainter& p, const IconFont& icons, const std::string& name, const QRectF& r,
          int pixelSize, const QColor& colour) {
  const QString glyph = icons.Glyph(name);
  if (glyph.isEmpty()) return;
  p.save();
  p.setFont(icons.Font(pixelSize));
  p.setPen(colour);
  p.drawText(r, Qt::AlignCenter, glyph);
  p.restore();
}

// The ground every main screen starts from: a quiet vertical gradient.
void Ground(QPainter& p, int width, int height) {
  QLinearGradient g(0, 0, 0, height);
  g.setColorAt(0, kGroundTop);
  g.setColorAt(1, kGroundBottom);
  p.fillRect(QRect(0, 0, width, height), g);
}

// The product's mark: four tiles, one of them in the accent.
void Mark(QPainter& p, const QRectF& r) {
  const qreal gap = r.width() / 8;
  const qreal side = (r.width() - gap) / 2;
  const QColor tiles[4] = {kAccent, kSecondary, kDim, kIcon};
  for (int i = 0; i < 4; ++i) {
    const QRectF t(r.x() + (i % 2) * (side + gap), r.y() + (i / 2) * (side + gap), side, side);
    RoundedBox(p, t, side / 4, tiles[i]);
  }
}

void TitleStrip(QPainter& p, int width) {
  p.fillRect(QRect(0, 0, width, kTitleStripHeight), kTitleStrip);
  p.fillRect(QRect(0, kTitleStripHeight - 2, width, 2), QColor(0x22, 0x22, 0x33));
  Mark(p, QRectF(14, 12, 16, 16));
}

void Panel(QPainter& p, const Rect& r) {
  RoundedBox(p, ToQ(r), kPanelRadius, kPanel, kPanelBorder, 1);
}

// The inside of a list that stays open; the list's own background is this too.
void ListInset(QPainter& p, const QRectF& r) {
  RoundedBox(p, r, kPanelRadius, kInset, kPanelBorder, 1);
}

// A frame just outside an area, so a window placed over the area never hides it.
void OuterFrame(QPainter& p, const Rect& r, const QColor& colour, qreal width, qreal radius) {
  p.save();
  p.setPen(QPen(colour, width));
  p.setBrush(Qt::NoBrush);
  const qreal out = width / 2 + 1;
  p.drawRoundedRect(ToQ(r).adjusted(-out, -out, out, out), radius, radius);
  p.restore();
}

// An abstract picture of a photo-sharing service: photo cards around a heart.
void WebArt(QPainter& p, const Rect& area, const IconFont& icons) {
  p.fillRect(ToQ(area), Qt::black);
  p.save();
  p.setClipRect(ToQ(area));
  const QColor cardTones[] = {QColor(0x2A, 0x2A, 0x3C), QColor(0x31, 0x2A, 0x55),
                              QColor(0x26, 0x30, 0x3E), QColor(0x3A, 0x33, 0x4E)};
  const int cols = 4;
  const int rows = 4;
  const qreal gap = 16;
  const qreal cw = (area.width - gap * (cols + 1)) / cols;
  const qreal ch = (area.height - gap * (rows + 1)) / rows;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const QRectF card(area.x + gap + c * (cw + gap), area.y + gap + r * (ch + gap), cw, ch);
      const QColor tone = cardTones[(r * 3 + c) % 4];
      RoundedBox(p, card, 10, tone);
      // A landscape in each card: a sun and two hills, no words.
      p.setPen(Qt::NoPen);
      p.setBrush(tone.lighter(135));
      p.drawEllipse(QPointF(card.right() - cw * 0.28, card.top() + ch * 0.3), cw * 0.09, cw * 0.09);
      QPainterPath hills;
      hills.moveTo(card.left(), card.bottom() - ch * 0.18);
      hills.lineTo(card.left() + cw * 0.35, card.top() + ch * 0.45);
      hills.lineTo(card.left() + cw * 0.6, card.bottom() - ch * 0.3);
      hills.lineTo(card.left() + cw * 0.75, card.top() + ch * 0.58);
      hills.lineTo(card.right(), card.bottom() - ch * 0.18);
      hills.lineTo(card.right(), card.bottom());
      hills.lineTo(card.left(), card.bottom());
      hills.closeSubpath();
      p.save();
      QPainterPath clip;
      clip.addRoundedRect(card, 10, 10);
      p.setClipPath(clip, Qt::IntersectClip);
      p.setBrush(tone.lighter(160));
      p.drawPath(hills);
      p.restore();
    }
  }
  // The centre: a round badge in the accent with the sharing and heart icons.
  const QPointF centre(area.x + area.width / 2.0, area.y + area.height / 2.0);
  const qreal radius = std::min(area.width, area.height) * 0.16;
  p.setPen(QPen(Qt::black, 10));
  p.setBrush(kAccent);
  p.drawEllipse(centre, radius, radius);
  Icon(p, icons, "favorite",
       QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), int(radius * 1.1),
       kIcon);
  p.restore();
}

void DrawArea(QPainter& p, const RecordSource& r, const IconFont& icons) {
  switch (r.look) {
    case AreaLook::None:
      break;
    case AreaLook::Picture:
      p.fillRect(ToQ(r.rect), Qt::black);
      OuterFrame(p, r.rect, QColor(0x2C, 0x2C, 0x3E), 1, 2);
      break;
    case AreaLook::List:
      ListInset(p, ToQ(r.rect));
      break;
    case AreaLook::Field:
    case AreaLook::Box:
      p.fillRect(ToQ(r.rect), Qt::black);
      OuterFrame(p, r.rect, kFieldBorder, 2, 4);
      break;
    case AreaLook::Black:
      p.fillRect(ToQ(r.rect), Qt::black);
      break;
    case AreaLook::Accent:
      p.fillRect(ToQ(r.rect), kAccent);
      break;
    case AreaLook::Swatch:
      p.fillRect(ToQ(r.rect), kInset);
      OuterFrame(p, r.rect, kFieldBorder, 2, 4);
      break;
    case AreaLook::Web:
      WebArt(p, r.rect, icons);
      break;
  }
}

// The state pictures of one button style, each drawn over a copy of what
// lies beneath the button.
enum State { kNormal = 0, kHot = 1, kPressed = 2 };

void CommandButton(QPainter& p, const QRectF& r, const RecordSource& rec, const IconFont& icons,
                   int state) {
  const bool choice = rec.choiceGroup != 0;
  const int iconSize = int(std::lround(std::min(r.width(), r.height()) * 0.5));
  const QRectF box = r.adjusted(1, 1, -1, -1);
  if (rec.style == ButtonStyle::Accent) {
    const QColor fill = state == kNormal ? kAccent : state == kHot ? kAccentLight : kAccentDark;
    RoundedBox(p, box, kButtonRadius, fill);
    Icon(p, icons, rec.icon, state == kPressed ? r.translated(0, 1) : r, iconSize, Qt::white);
    return;
  }
  if (state == kNormal) {
    RoundedBox(p, box, kButtonRadius, kButton, kPanelBorder, 1);
    Icon(p, icons, rec.icon, r, iconSize, kIcon);
  } else if (state == kHot) {
    RoundedBox(p, box, kButtonRadius, kButtonHot, QColor(0x4A, 0x4A, 0x66), 1);
    Icon(p, icons, rec.icon, r, iconSize, kAccentLight);
  } else if (choice) {
    // A choice or toggle shows its third picture while it is on.
    RoundedBox(p, box, kButtonRadius, kButtonOn, kAccent, 2);
    Icon(p, icons, rec.icon, r, iconSize, kAccentLight);
  } else {
    RoundedBox(p, box, kButtonRadius, kAccent);
    Icon(p, icons, rec.icon, r.translated(0, 1), iconSize, Qt::white);
  }
}

void WindowButton(QPainter& p, const QRectF& r, const RecordSource& rec, const IconFont& icons,
                  int state) {
  const int iconSize = int(std::lround(std::min(r.width(), r.height()) * 0.64));
  if (state == kNormal) {
    Icon(p, icons, rec.icon, r, iconSize, kSecondary);
  } else if (state == kHot) {
    RoundedBox(p, r, kSmallRadius, kButtonHot);
    Icon(p, icons, rec.icon, r, iconSize, kAccentLight);
  } else {
    RoundedBox(p, r, kSmallRadius, kAccent);
    Icon(p, icons, rec.icon, r.translated(0, 1), iconSize, Qt::white);
  }
}

void ChevronButton(QPainter& p, const QRectF& r, const std::string& icon, bool choice,
                   const IconFont& icons, int state) {
  const int iconSize = int(std::lround(std::min(r.width(), r.height()) * 0.75));
  const QRectF box = r.adjusted(1, 1, -1, -1);
  if (state == kNormal) {
    RoundedBox(p, box, kSmallRadius, kButton, kPanelBorder, 1);
    Icon(p, icons, icon, r, iconSize, kIcon);
  } else if (state == kHot) {
    RoundedBox(p, box, kSmallRadius, kButtonHot, QColor(0x4A, 0x4A, 0x66), 1);
    Icon(p, icons, icon, r, iconSize, kAccentLight);
  } else if (choice) {
    RoundedBox(p, box, kSmallRadius, kButtonOn, kAccent, 2);
    Icon(p, icons, icon, r, iconSize, kAccentLight);
  } else {
    RoundedBox(p, box, kSmallRadius, kAccent);
    Icon(p, icons, icon, r.translated(0, 1), iconSize, Qt::white);
  }
}

// A drop-down opener: a value field with a chevron at its right end. The
// program writes the chosen value into the field's value label area.
void FieldButton(QPainter& p, const QRectF& r, const RecordSource& rec, const IconFont& icons,
                 int state) {
  const qreal side = r.height();
  const QRectF chevron(r.right() - side, r.top(), side, side);
  const int iconSize = int(std::lround(side * 0.8));
  const QColor border = state == kNormal ? kFieldBorder : state == kHot ? kAccentLight : kAccent;
  RoundedBox(p, r, kSmallRadius, Qt::black, border, state == kNormal ? 1.5 : 2);
  if (state == kPressed) {
    QPainterPath right;
    right.addRoundedRect(chevron.adjusted(2, 2, -2, -2), kSmallRadius - 2, kSmallRadius - 2);
    p.fillPath(right, kAccent);
  }
  const QColor iconColour = state == kNormal ? kSecondary
                            : state == kHot  ? kAccentLight
                                             : Qt::white;
  Icon(p, icons, rec.icon, state == kPressed ? chevron.translated(0, 1) : chevron, iconSize,
       iconColour);
}

void TrackLine(QPainter& p, const QRectF& r, const QColor& colour) {
  const qreal y = r.center().y() - kTrackThickness / 2.0;
  RoundedBox(p, QRectF(r.left(), y, r.width(), kTrackThickness), kTrackThickness / 2.0, colour);
}

void ThumbButton(QPainter& p, const QRectF& r, int state) {
  // The thumb carries the bit of track beneath it, so it sits cleanly anywhere on it.
  const QColor line = state == kPressed ? kAccent : kFieldBorder;
  const qreal y = r.center().y() - kTrackThickness / 2.0;
  p.fillRect(QRectF(r.left(), y, r.width(), kTrackThickness), line);
  p.save();
  p.setPen(Qt::NoPen);
  const qreal radius = kThumbDiameter / 2.0;
  if (state == kHot) {
    p.setBrush(QColor(0x7A, 0x5C, 0xFF, 70));
    p.drawEllipse(r.center(), radius + 3, radius + 3);
    p.setBrush(kAccentLight);
    p.drawEllipse(r.center(), radius, radius);
  } else if (state == kPressed) {
    p.setBrush(Qt::white);
    p.drawEllipse(r.center(), radius + 2, radius + 2);
    p.setBrush(kAccent);
    p.drawEllipse(r.center(), radius - 1, radius - 1);
  } else {
    p.setBrush(kAccent);
    p.drawEllipse(r.center(), radius, radius);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(r.center(), 3, 3);
  }
  p.restore();
}

StatePictures Underlays(const QImage& background, const Rect& r) {
  StatePictures out;
  for (auto& image : out)
    image = background.copy(r.x, r.y, r.width, r.height).convertToFormat(QImage::Format_RGB32);
  return out;
}

}  // namespace

QImage Art::ScreenBackground(const ScreenSource& screen) const {
  QImage image = NewImage(screen.width, screen.height, kGroundTop);
  QPainter p(&image);
  Begin(p);
  if (screen.number >= 0) {
    Ground(p, screen.width, screen.height);
    TitleStrip(p, screen.width);
  } else {
    // The full-screen bar stands on the black view: a panel with rounded top corners.
    p.fillRect(image.rect(), Qt::black);
    QLinearGradient g(0, 0, 0, screen.height);
    g.setColorAt(0, kPanel);
    g.setColorAt(1, kGroundBottom);
    p.setPen(QPen(kPanelBorder, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, screen.width - 1, screen.height + 20), 12, 12);
  }
  for (const auto& panel : screen.panels)
    Panel(p, panel.rect);
  for (const auto& record : screen.records) {
    if (record.isArea) DrawArea(p, record, m_icons);
  }
  return image;
}

StatePictures Art::ButtonPictures(const RecordSource& record, const QImage& background) const {
  StatePictures out = Underlays(background, record.rect);
  const QRectF r(0, 0, record.rect.width, record.rect.height);
  for (int state = 0; state < 3; ++state) {
    QPainter p(&out[std::size_t(state)]);
    Begin(p);
    switch (record.style) {
      case ButtonStyle::Command:
      case ButtonStyle::Accent:
        CommandButton(p, r, record, m_icons, state);
        break;
      case ButtonStyle::Window:
        WindowButton(p, r, record, m_icons, state);
        break;
      case ButtonStyle::Chevron:
        ChevronButton(p, r, record.icon, record.choiceGroup != 0, m_icons, state);
        break;
      case ButtonStyle::Field:
        FieldButton(p, r, record, m_icons, state);
        break;
      case ButtonStyle::Track:
        // The program shows the third picture at rest and the second while dragging.
        TrackLine(p, r, state == kHot ? kAccent : kFieldBorder);
        break;
      case ButtonStyle::Thumb:
        ThumbButton(p, r, state);
        break;
    }
  }
  return out;
}

QImage Art::ListBackground(const ListBackgroundSource& list) const {
  QImage image = NewImage(list.width, list.height, kPanel);
  QPainter p(&image);
  Begin(p);
  const QRectF r(0, 0, list.width, list.height);
  if (list.dropDown) {
    // A drop-down floats over the screen: a lighter panel ringed in the accent.
    p.fillRect(r, kGroundTop);
    RoundedBox(p, r, kPanelRadius, kDropDown, kAccent, 2);
  } else {
    // Corners show the panel colour, as the list's area lies on a panel or the ground.
    p.fillRect(r, kGroundTop);
    ListInset(p, r);
  }
  return image;
}

StatePictures Art::ListArrowPictures(const Rect& rect, bool up, const QImage& background) const {
  StatePictures out = Underlays(background, rect);
  const QRectF r(0, 0, rect.width, rect.height);
  for (int state = 0; state < 3; ++state) {
    QPainter p(&out[std::size_t(state)]);
    Begin(p);
    ChevronButton(p, r, up ? "keyboard_arrow_up" : "keyboard_arrow_down", false, m_icons, state);
  }
  return out;
}

StatePictures Art::ListRowPictures(const Rect& rect, const QImage& background) const {
  StatePictures out = Underlays(background, rect);
  const QRectF r(0, 0, rect.width, rect.height);
  {
    QPainter p(&out[kHot]);
    Begin(p);
    RoundedBox(p, r.adjusted(0, 1, 0, -1), 4, kButtonHot);
  }
  {
    QPainter p(&out[kPressed]);
    Begin(p);
    RoundedBox(p, r.adjusted(0, 1, 0, -1), 4, kButtonOn, kAccent, 1.5);
  }
  return out;
}

QImage Art::Tick(const TickSetSource& ticks, int state) const {
  QImage image = NewImage(ticks.width, ticks.height, kInset);
  QPainter p(&image);
  Begin(p);
  const QRectF r(0, 0, ticks.width, ticks.height);
  const qreal unit = std::min(ticks.width, ticks.height) / 16.0;
  if (ticks.look == TickLook::Weight) {
    // A weight of 1 to 3 shows as that many lit bars of rising height.
    const qreal barWidth = 3.5 * unit;
    const qreal gap = 1.75 * unit;
    const qreal left = (r.width() - 3 * barWidth - 2 * gap) / 2;
    for (int bar = 0; bar < 3; ++bar) {
      const qreal height = (6 + 4 * bar) * unit;
      const QRectF b(left + bar * (barWidth + gap), r.bottom() - 1 * unit - height, barWidth,
                     height);
      RoundedBox(p, b, unit, bar < state ? kAccentLight : QColor(0x3A, 0x3A, 0x52));
    }
    return image;
  }
  const QRectF box = r.adjusted(unit, unit, -unit, -unit);
  switch (state) {
    case 0:
      RoundedBox(p, box, 3 * unit, kInset, kDim, 1.5 * unit);
      break;
    case 1: {
      // Ticked for deleting: a filled box with a cross.
      RoundedBox(p, box, 3 * unit, kAccent);
      p.setPen(QPen(Qt::white, 2 * unit, Qt::SolidLine, Qt::RoundCap));
      const QRectF c = box.adjusted(4 * unit, 4 * unit, -4 * unit, -4 * unit);
      p.drawLine(c.topLeft(), c.bottomRight());
      p.drawLine(c.topRight(), c.bottomLeft());
      break;
    }
    case 2: {
      // Marked to be built: an open box holding a lit square.
      RoundedBox(p, box, 3 * unit, kInset, kAccentLight, 1.5 * unit);
      RoundedBox(p, box.adjusted(4 * unit, 4 * unit, -4 * unit, -4 * unit), unit, kAccentLight);
      break;
    }
    default:
      RoundedBox(p, box, 3 * unit, QColor(0x3A, 0x3A, 0x52));
      break;
  }
  return image;
}

QImage Art::Picture(const PictureSource& picture) const {
  QImage image = NewImage(picture.width, picture.height, kGroundTop);
  QPainter p(&image);
  Begin(p);
  const qreal w = picture.width;
  const qreal h = picture.height;
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, kGroundTop);
  g.setColorAt(1, kGroundBottom);
  p.fillRect(image.rect(), g);

  if (picture.look == PictureLook::Processing) {
    // Work in progress: an hourglass and a row of tiles lighting up in turn.
    RoundedBox(p, QRectF(0, 0, w, h), 8, kPanel, kPanelBorder, 1);
    const qreal side = h * 0.5;
    Icon(p, m_icons, "hourglass_empty", QRectF(h * 0.15, 0, h * 0.8, h), int(h * 0.5),
         kAccentLight);
    const int tiles = 5;
    const qreal gap = side * 0.3;
    const qreal left = h;
    for (int i = 0; i < tiles; ++i) {
      QColor c = kAccent;
      c.setAlpha(60 + 195 * i / (tiles - 1));
      RoundedBox(p, QRectF(left + i * (side + gap), (h - side) / 2, side, side), side / 5, c);
    }
    return image;
  }

  // About: a mosaic of tiles that brightens towards a diagonal, and the name.
  const qreal tile = 20;
  const int cols = int(w / tile) + 1;
  const int rows = int(h / tile) + 1;
  std::uint32_t seed = 0x2F6B1D3u;  // a fixed sequence: the same picture on every build
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const qreal d = std::abs((x / qreal(cols)) - (1 - y / qreal(rows)));
      const int noise = int(seed >> 27);  // 0..31
      QColor c = kPanel;
      if (d < 0.18) {
        c = (noise % 3 == 0) ? kAccentLight : kAccent;
        c = c.darker(100 + noise * 3);
      } else if (d < 0.4) {
        c = QColor(0x2E + noise, 0x2A + noise / 2, 0x48 + noise);
      } else {
        c = QColor(0x1A + noise / 4, 0x1A + noise / 4, 0x24 + noise / 3);
      }
      RoundedBox(p, QRectF(x * tile + 1.5, y * tile + 1.5, tile - 3, tile - 3), 3, c);
    }
  }
  // A dark band carries the name.
  const QRectF band(0, h * 0.36, w, h * 0.28);
  p.fillRect(band, QColor(0x0D, 0x0D, 0x13, 225));
  QFont font("DejaVu Sans");
  font.setPixelSize(int(h * 0.14));
  font.setBold(true);
  font.setHintingPreference(QFont::PreferNoHinting);
  const QString name = QStringLiteral("Tesserix");
  // The mark and the name side by side, a gap between them, centred as one.
  const qreal mark = h * 0.1;
  const qreal gap = h * 0.04;
  const qreal nameWidth = QFontMetricsF(font).horizontalAdvance(name);
  const qreal left = (w - (mark + gap + nameWidth)) / 2;
  Mark(p, QRectF(left, band.center().y() - mark / 2, mark, mark));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(left + mark + gap, band.top(), nameWidth + gap, band.height()),
             Qt::AlignVCenter | Qt::AlignLeft, name);
  p.fillRect(QRectF(0, band.bottom() - 3, w, 3), kAccent);
  return image;
}

}  // namespace tx::skincomp
