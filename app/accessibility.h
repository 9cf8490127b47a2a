// Names for assistive technology: a control is named by the label it stands beside.
//
// Thread: the user-interface thread.
#pragma once

class QWidget;

namespace app {

// Gives every control under `window` that a label is the buddy of, and that has no name of its
// own yet, the label's text as its accessible name (without the access-key "&" and the colon);
// an editable combo box's text field gets it too. Call it again after the labels change (a
// window whose captions are set when it shows calls it then).
void NameControlsByTheirLabels(QWidget* window);

}  // namespace app
