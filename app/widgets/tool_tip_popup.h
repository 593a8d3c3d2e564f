#pragma once
// The tool tip of the skinned buttons: a small yellow child window holding
// one line of text in the interface font.

#include <QtCore/QString>
#include <QtWidgets/QWidget>

namespace tx {

/// Background of the tool tip.
inline const QColor kToolTipYellow{255, 255, 0};

class ToolTipPopup : public QWidget {
  Q_OBJECT

 public:
  explicit ToolTipPopup(QWidget* parent);

  /// Shows `text` (minus one leading blank) near the pointer (x, y) of the
  /// parent, sized to the text and placed with PlaceToolTip. The text already
  /// shown changes nothing; another text closes the old tip first; "" closes.
  void ShowText(const std::string& text, int x, int y);
  /// Closes the tip.
  void Close();
  /// The text shown (with its blanks, minus the one leading blank), "" when closed.
  QString shownText() const;
  /// How many times a tip was opened (each new text counts once).
  int openings() const { return m_openings; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

 private:
  std::string m_asked;
  QString m_text;
  int m_openings = 0;
};

}  // namespace tx
