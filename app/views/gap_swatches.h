#pragma once
// The colours the collections lack, after a run: a heading and up to twelve
// small swatches, each with a tool tip giving its colour and its share of
// the cells, so that a user knows which photos to add to the collections.

#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include <vector>

#include "montage/match_report.h"

namespace tx {

class GapSwatches : public QWidget {
  Q_OBJECT

 public:
  /// `heading` is drawn above the swatches; `tipFormat` makes each
  /// swatch's tool tip, with %1 the colour as RRGGBB and %2 the share of
  /// the cells in percent.
  GapSwatches(const QString& heading, const QString& tipFormat, QWidget* parent = nullptr);

  /// The gaps to show (at most twelve are drawn).
  void SetGaps(std::vector<ColourGap> gaps);
  const std::vector<ColourGap>& gaps() const { return m_gaps; }
  /// The place of swatch `index` in the widget; empty beyond the last.
  QRect SwatchRect(int index) const;
  /// Tool tip of swatch `index`.
  QString TipOf(int index) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QString m_heading;
  QString m_tipFormat;
  std::vector<ColourGap> m_gaps;
};

}  // namespace tx
