// What assistive technology and the keyboard need of the windows: controls named by the labels
// they stand beside, links in labels that are real links, and access keys that never type into a
// field.
//
// Thread: the user-interface thread.
#pragma once

class QLabel;
class QWidget;

namespace app {

// Gives every control under `window` that a label is the buddy of, and that has no name of its
// own yet, the label's text as its accessible name (without the access-key "&" and the colon);
// an editable combo box's text field gets it too. Call it again after the labels change (a
// window whose captions are set when it shows calls it then).
void NameControlsByTheirLabels(QWidget* window);

// Makes the links of `label` (rich text with <a href> anchors) links for assistive technology:
// the label shows as static text with one child of role Link per anchor, named by the anchor's
// text, whose press action activates it as a click does (the label's linkActivated with the
// anchor's href). The label's text may change afterwards; the children follow it. Call it once
// the label exists, before the label is shown.
void ExposeLinks(QLabel* label);

// Keeps the access keys of `window` out of its text fields: Alt with a letter or digit that no
// control took (none carries that key on this page) does nothing in a field instead of typing
// the letter. Covers the fields that exist when it is called, editable combo boxes included.
void KeepAccessKeysOutOfFields(QWidget* window);

}  // namespace app
