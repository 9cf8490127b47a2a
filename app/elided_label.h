// A one-line label for a text that may be far longer than the room a window has for it (a
// file's title, a path, a list): it shows as much as fits with the middle left out
// ("/home/me/Mus…/song.mp3"), which keeps a path's start and its file name, elides again
// whenever it is resized, and carries the whole text as its accessible name and, when cut, as
// its tooltip. Its size hints ask for a fixed number of average characters whatever the text,
// so a long text never widens its window.
//
// Thread: the user-interface thread.
#pragma once

#include <QLabel>
#include <QString>

namespace app {

class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  // The label asks for room for `preferredCharacters` average characters, and needs at least
  // `minimumCharacters`.
  explicit ElidedLabel(QWidget* parent = nullptr, int preferredCharacters = 40, int minimumCharacters = 12);

  // Shows `text` (line breaks read as blanks). `toolTip`, when given, is the tooltip whether the
  // text is cut or not; else the tooltip is the whole text while it is cut, and none otherwise.
  void SetFullText(const QString& text, const QString& toolTip = {});
  const QString& FullText() const { return fullText_; }
  // Whether the text shown leaves part of the whole text out.
  bool Elided() const { return text() != fullText_; }
  // Where the text is cut: in the middle (the default, for names and paths) or at the end (for
  // a list, whose first items matter most).
  void SetElideMode(Qt::TextElideMode mode);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Elide();
  int CharactersWidth(int characters) const;
  int LineHeight() const;

  QString fullText_;
  QString toolTip_;
  Qt::TextElideMode mode_ = Qt::ElideMiddle;
  int preferredCharacters_;
  int minimumCharacters_;
};

}  // namespace app
