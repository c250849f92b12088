#pragma once
// The highlight box: a one-line text box that keeps its selection when the
// focus leaves it, because "Set Prefix" reads the selection after the click
// on the button has taken the focus away.
#include <QLineEdit>

namespace pu {

class HighlightBox : public QLineEdit {
public:
  using QLineEdit::QLineEdit;

  // The selection, or the caret with length 0 when nothing is selected.
  int selStart() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }
  int selLength() const { return static_cast<int>(selectedText().size()); }

protected:
  void focusOutEvent(QFocusEvent* event) override {
    int start = selectionStart();
    int length = static_cast<int>(selectedText().size());
    QLineEdit::focusOutEvent(event);
    if (start >= 0 && length > 0) setSelection(start, length);
  }
};

} // namespace pu
