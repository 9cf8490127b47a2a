// The pure parts of the main window: the info panel's lines for a task, the drop filter and the
// open-file dialog's filters, all derived from the program's texts.
#pragma once

#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "core/conversion_task.h"

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
TaskInfoLines TaskInfoFor(const ConversionTask& task, bool outputExists);

// The info panel's first line for an empty list: the hint as link "aa".
QString EmptyListInfo();

// The word of a channel mode index ("Joint Stero" for 2), empty for unknown indices.
std::string ChannelModeWord(int mode);

// The extensions that dropped files may have, from the dialog filter's first pattern list:
// "*.wma;*.wmv;*.asf" gives .wma, .wmv and .asf. Empty when the filter has fewer than two parts.
std::vector<std::string> DropExtensions(const std::string& fileFilter);

// The dropped paths that are files (not folders) with one of `extensions` (letter case
// ignored), in the order given.
std::vector<std::string> AcceptedDrops(const std::vector<std::string>& paths,
                                       const std::vector<std::string>& extensions);

// The open-file dialog's name filters from the program's filter ("text|patterns|text|patterns"),
// followed by one that shows every file, since FFmpeg reads far more than Windows Media.
QStringList DialogNameFilters(const std::string& fileFilter);
