#include "app/views/build_progress_box.h"

#include <algorithm>
#include <cmath>

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>
#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include "app/widgets/interface_font.h"

namespace tx {

namespace {

constexpr int kStrCountOfTotal = 12500;  // "%1 / %2 photos"
constexpr int kStrCount = 12501;         // "%1 photos"
constexpr int kStrPerSecond = 12502;     // "%1 per second"
constexpr int kStrTimeLeft = 12503;      // "%1 left"
const QString kSeparator = QStringLiteral("  \u00B7  ");
// The words shrink down to this size before they are shortened.
constexpr int kSmallestWordPixels = 10;
constexpr int kWordsIndent = 4;

// Black, with the tile at its own size in the middle (scaled down when the
// box is smaller).
class TilePreview : public QWidget {
 public:
  explicit TilePreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  void SetTile(const QImage& tile) {
    m_tile = tile;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_tile.isNull()) return;
    QSize size = m_tile.size();
    if (size.width() > width() || size.height() > height())
      size.scale(this->size(), Qt::KeepAspectRatio);
    const QRect place(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(place, m_tile);
  }

 private:
  QImage m_tile;
};

}  // namespace

QString FormatTimeLeft(std::chrono::seconds left) {
  const long long total = std::max<long long>(0, left.count());
  const long long hours = total / 3600;
  const long long minutes = total / 60 % 60;
  const long long seconds = total % 60;
  const QString ss = QStringLiteral("%1").arg(seconds, 2, 10, QLatin1Char('0'));
  if (hours == 0) return QStringLiteral("%1:%2").arg(minutes).arg(ss);
  return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(ss);
}

BuildProgressBox::BuildProgressBox(QWidget* parent, QRect previewBox, QRect wordsBox)
    : m_ofTotal(CatalogueText(kStrCountOfTotal)),
      m_withoutTotal(CatalogueText(kStrCount)),
      m_now([] { return Clock::now(); }) {
  auto* preview = new TilePreview(parent);
  preview->setGeometry(previewBox);
  preview->hide();
  m_preview = preview;

  auto* words = new QLabel(parent);
  words->setGeometry(wordsBox);
  words->setAttribute(Qt::WA_TransparentForMouseEvents);
  words->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  words->setIndent(kWordsIndent);
  words->setFont(InterfaceQFont(kLabelPixels));
  QPalette palette = words->palette();
  palette.setColor(QPalette::WindowText, kTextColourWhite);
  words->setPalette(palette);
  words->hide();
  m_words = words;
}

BuildProgressBox::~BuildProgressBox() {
  delete m_preview.data();
  delete m_words.data();
}

void BuildProgressBox::Start(int total) {
  m_tile = QImage();
  if (m_preview) static_cast<TilePreview*>(m_preview.data())->SetTile(m_tile);
  m_start = m_now();
  m_running = true;
  SetWords(total > 0 ? StepWords(0, total, {}) : QString());
  if (m_preview) m_preview->show();
  if (m_words) m_words->show();
}

void BuildProgressBox::Step(int done, int total, const QImage& tile) {
  if (!m_running) return;
  if (!tile.isNull()) {
    m_tile = tile;
    if (m_preview) static_cast<TilePreview*>(m_preview.data())->SetTile(m_tile);
  }
  SetWords(StepWords(done, total, m_now() - m_start));
}

void BuildProgressBox::SetWords(const QString& words) {
  m_fullWords = words;
  if (!m_words) return;
  // Long words shrink a little first, then lose their end.
  const int room = m_words->width() - 2 * kWordsIndent;
  QFont font = InterfaceQFont(kLabelPixels);
  for (int pixels = kLabelPixels;
       pixels > kSmallestWordPixels && QFontMetrics(font).horizontalAdvance(words) > room;) {
    font = InterfaceQFont(--pixels);
  }
  m_words->setFont(font);
  m_words->setText(ShortenToFit(words, room, font));
}

void BuildProgressBox::Finish() {
  m_running = false;
}

void BuildProgressBox::Hide() {
  if (m_preview) m_preview->hide();
  if (m_words) m_words->hide();
}

void BuildProgressBox::SetCountFormats(const QString& ofTotal, const QString& withoutTotal) {
  m_ofTotal = ofTotal;
  m_withoutTotal = withoutTotal;
}

void BuildProgressBox::SetClock(std::function<Clock::time_point()> now) {
  if (now) m_now = std::move(now);
}

QString BuildProgressBox::words() const {
  return m_fullWords;
}

bool BuildProgressBox::visible() const {
  return m_preview && !m_preview->isHidden();
}

QString BuildProgressBox::StepWords(int done, int total, Clock::duration elapsed) const {
  done = std::max(0, done);
  QString words = total > 0 ? m_ofTotal.arg(done).arg(total) : m_withoutTotal.arg(done);
  if (done < kMinRateItems || elapsed < kMinRateTime) return words;
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const double rate = done / seconds;
  words += kSeparator + CatalogueText(kStrPerSecond).arg(QString::number(rate, 'f', 1));
  if (total > 0) {
    const auto left = std::chrono::seconds(std::llround(std::max(0, total - done) / rate));
    words += kSeparator + CatalogueText(kStrTimeLeft).arg(FormatTimeLeft(left));
  }
  return words;
}

}  // namespace tx
