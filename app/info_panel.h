// The pure parts of the main window: the info panel's lines for a task and the open-file
// dialog's filters, all derived from the program's texts, with numbers and sizes as the user's
// locale writes them; and the summary of the tags a source carries beyond the usual ones, which
// the wizard shows too.
#pragma once

#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "core/conversion_task.h"
#include "core/tags/tag_summary.h"
#include "engine/encoding_settings.h"

class QLabel;

namespace app {

// The info panel's lines for a task, in the labels' markup (bold, links named "bb" source, "dd"
// output, "cc" edit). File names are escaped, never read as markup.
struct TaskInfoLines {
  QString input;      // the source file, a link
  QString output;     // the output file: a link only when it exists
  QString settings;   // channel mode and bit rate
  QString extras;     // the tags beyond the usual texts and what more the source carries; else empty
  QString duration;   // duration and estimated size
  QString editLink;   // "Edit…"
};
TaskInfoLines TaskInfoFor(const core::ConversionTask& task, bool outputExists);

// The info panel's first line for an empty list: the hint as link "aa".
QString EmptyListInfo();

// Shows `line` in one of the info panel's labels, its links real links for assistive technology
// (ExposeLinks, accessibility.h).
void ShowInfoLine(QLabel* label, const QString& line);

// The word of a channel mode ("Joint Stereo") in the user's language.
QString ChannelModeWord(engine::ChannelMode mode);

// What more a source carries into its MP3, in the user's language: "lyrics, rating ★★★★☆,
// 2 composers, 3 other fields"; empty when nothing.
QString MoreTagsText(const std::vector<tags::MoreTagCount>& moreTags);

// The open-file dialog's name filters: every media file (by `extensions`, without dots), the
// Windows Media files, and every file.
QStringList MediaDialogFilters(const std::vector<std::string>& extensions);

}  // namespace app
