#include "app/elided_label.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>

namespace app {

ElidedLabel::ElidedLabel(QWidget* parent, int preferredCharacters, int minimumCharacters)
    : QLabel(parent), preferredCharacters_(preferredCharacters), minimumCharacters_(minimumCharacters) {
  setTextFormat(Qt::PlainText);  // titles and paths come from files: never markup
  setWordWrap(false);
  // Takes the width the layout gives, down to its minimum: the text adapts to the window, never
  // the window to the text (the hints do not depend on it).
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::SetFullText(const QString& text, const QString& toolTip) {
  QString line = text;
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  fullText_ = line;
  toolTip_ = toolTip;
  setAccessibleName(fullText_);
  Elide();
}

void ElidedLabel::SetElideMode(Qt::TextElideMode mode) {
  mode_ = mode;
  Elide();
}

int ElidedLabel::CharactersWidth(int characters) const {
  const QMargins margins = contentsMargins();
  return fontMetrics().averageCharWidth() * characters + margins.left() + margins.right() + 2 * margin();
}

int ElidedLabel::LineHeight() const {
  const QMargins margins = contentsMargins();
  return fontMetrics().height() + margins.top() + margins.bottom() + 2 * margin();
}

QSize ElidedLabel::sizeHint() const { return {CharactersWidth(preferredCharacters_), LineHeight()}; }

QSize ElidedLabel::minimumSizeHint() const { return {CharactersWidth(minimumCharacters_), LineHeight()}; }

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) Elide();
}

void ElidedLabel::Elide() {
  const int room = contentsRect().width() - 2 * margin();
  const QString shown = fontMetrics().elidedText(fullText_, mode_, std::max(room, 0));
  // QLabel::setText would ask for a new layout each time; only a change is worth one.
  if (shown != text()) QLabel::setText(shown);
  const QString tip = !toolTip_.isEmpty() ? toolTip_ : (shown != fullText_ ? fullText_ : QString());
  if (tip != toolTip()) setToolTip(tip);
}

}  // namespace app
