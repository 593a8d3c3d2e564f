#pragma once
// The progress of a collection build in the window: the latest tile centred
// on black in a preview box, and a line of words beside it with the items
// done (of the total, when known), the items per second and the time left.

#include <chrono>
#include <functional>

#include <QtCore/QPointer>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtGui/QImage>

class QLabel;
class QWidget;

namespace tx {

class BuildProgressBox {
 public:
  using Clock = std::chrono::steady_clock;

  /// Makes the two widgets on `parent`, hidden: the preview over
  /// `previewBox` and the words over `wordsBox` (parent coordinates). The
  /// widgets belong to `parent`; this object deletes them when it goes
  /// first.
  BuildProgressBox(QWidget* parent, QRect previewBox, QRect wordsBox);
  ~BuildProgressBox();
  BuildProgressBox(const BuildProgressBox&) = delete;
  BuildProgressBox& operator=(const BuildProgressBox&) = delete;

  /// Starts counting for a build of `total` items (0: not known, as for
  /// video frames): clears the tile and the words, starts the clock and
  /// shows both widgets.
  void Start(int total);
  /// `done` of `total` items are handled (a total of 0 or below is not
  /// known); `tile`, when not null, becomes the tile shown. Ignored once
  /// finished.
  void Step(int done, int total, const QImage& tile);
  /// Replaces the words (a stage of the work, or how it ended).
  void SetWords(const QString& words);
  /// Stops the clock; the last tile and words stay shown.
  void Finish();
  void Hide();

  /// The words of a step: "%1 / %2 photos" when the total is known, "%1
  /// pictures" when not. Each format takes the count(s) as %1 and %2; the
  /// defaults are the catalogue's words for photos.
  void SetCountFormats(const QString& ofTotal, const QString& withoutTotal);
  /// Replaces the clock (tests).
  void SetClock(std::function<Clock::time_point()> now);

  QString words() const;
  const QImage& shown() const { return m_tile; }
  bool visible() const;
  bool running() const { return m_running; }

  /// The words of a step: the count, then the rate once at least
  /// kMinRateItems items took at least kMinRateTime, then the time left when
  /// the total is known.
  QString StepWords(int done, int total, Clock::duration elapsed) const;

  static constexpr int kMinRateItems = 2;
  static constexpr Clock::duration kMinRateTime = std::chrono::seconds(1);

 private:
  QPointer<QWidget> m_preview;
  QPointer<QLabel> m_words;
  QImage m_tile;
  QString m_fullWords;
  QString m_ofTotal;
  QString m_withoutTotal;
  std::function<Clock::time_point()> m_now;
  Clock::time_point m_start{};
  bool m_running = false;
};

/// "m:ss", or "h:mm:ss" from an hour on; negative durations read as 0.
QString FormatTimeLeft(std::chrono::seconds left);

}  // namespace tx
