// The pure parts of the main window: the info panel's lines for a task and the open-file
// dialog's filters, all derived from the program's texts.
#pragma once

#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "core/conversion_task.h"
#include "engine/encoding_settings.h"

namespace app {

// The info panel's lines for a task, in the labels' markup (bold, underline, links named
// "bb" source, "dd" output, "cc" edit). File names are escaped, never read as markup.
struct TaskInfoLines {
  QString input;      // the source file, a link
  QString output;     // the output file: a link only when it exists
  QString settings;   // channel mode and bit rate
  QString extras;     // the tags beyond the usual texts, when the task has any; else empty
  QString duration;   // duration and estimated size
  QString editLink;   // "Edit..."
};
TaskInfoLines TaskInfoFor(const core::ConversionTask& task, bool outputExists);

// The info panel's first line for an empty list: the hint as link "aa".
QString EmptyListInfo();

// The word of a channel mode ("Joint Stereo") in the user's language.
QString ChannelModeWord(engine::ChannelMode mode);

// The open-file dialog's name filters: every media file (by `extensions`, without dots), the
// Windows Media files, and every file.
QStringList MediaDialogFilters(const std::vector<std::string>& extensions);

}  // namespace app
