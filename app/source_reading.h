// Inspecting an added file on a reading thread while the user-interface thread goes on
// dispatching events, so the windows keep repainting and answer (or refuse) the user.
//
// Thread: the user-interface thread of a Qt application.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// Inspects `path` (InspectMediaFile on a new reading thread) into WorkingTask, with a new
// default output name (in `subfolder` of a chosen output folder, see added_files.h), and waits
// for it. Returns the ReadResult: ReadOk when the file was read and has audio (the working task
// then holds it), else why not, and WorkingTask is unchanged. ReadPending when no inspection
// could start: no thread could be started (that is said at once), or a call made from an event
// that the wait dispatches while another inspection runs.
//
// The call sets the hand-over state itself (CurrentFile := path, AssignOutputName := true,
// ReadingDone := false, ReadResult := ReadPending) and leaves ReadingDone true. The caller
// locks its controls around it and refuses every action that would change the task list, the
// working task or the defaults while ReadingDone is false.
std::int32_t InspectSourceFile(const std::string& path, const std::string& subfolder = {});

// InspectSourceFile, and the message of a failure. True when the working task holds the file.
bool ReadSourceFile(const std::string& path);

// Shows the message for a ReadResult of ReadFailed, ReadNoAudio or ReadProtected about `path`.
void ShowReadFailure(std::int32_t readResult, const std::string& path);

// How the reading thread is started: `body` on a new thread. Tests put in a starter that throws
// std::system_error, as std::thread does when the system has no thread left; an empty function
// restores std::thread.
using ReadingThreadStarter = std::function<std::thread(std::function<void()> body)>;
void SetReadingThreadStarter(ReadingThreadStarter starter);
