#include "app/source_reading.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <system_error>

#include "core/inspection.h"
#include "core/interface_texts.h"
#include "app/message_window.h"

namespace {

// A fixed text: the interface text table has no entry for it.

ReadingThreadStarter& Starter() {
  static ReadingThreadStarter starter;
  return starter;
}

bool& Reading() {
  static bool reading = false;
  return reading;
}

// Linux gives threads of ordinary programs no priority levels above normal, so the reading
// thread runs at normal priority; the waiting user-interface thread sleeps meanwhile anyway.
std::thread StartReadingThread(std::function<void()> body) {
  if (Starter()) return Starter()(std::move(body));
  return std::thread(std::move(body));
}

}  // namespace

void ShowReadFailure(std::int32_t readResult, const std::string& path) {
  const ReadFailureMessage message = ReadFailureMessageFor(readResult, path);
  ShowMessageWindow(message.kind, message.text, lang::HelpButton, lang::OKButton);
}

std::int32_t InspectSourceFile(const std::string& path, const std::string& subfolder) {
  if (Reading()) return ReadPending;
  Reading() = true;
  CurrentFile = path;
  CurrentSubfolder = subfolder;
  AssignOutputName = true;
  ReadResult = ReadPending;
  ReadingDone.store(false, std::memory_order_relaxed);

  std::thread reader;
  try {
    reader = StartReadingThread([] {
      InspectMediaFile();
      // Wakes the waiting loop below; the event stays queued if the loop is not waiting yet.
      QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // Nothing will ever finish this inspection: end it here, so the caller's refusal of other
    // actions ends too, and report that the file was not added.
    ReadingDone.store(true, std::memory_order_release);
    Reading() = false;
    ShowMessageWindow(MessageKind::Error, lang::ThreadNotCreated, lang::HelpButton, lang::OKButton);
    return ReadPending;
  }

  // Sleeps until an event arrives; the reading thread's wake-up is one.
  while (!ReadingDone.load(std::memory_order_acquire))
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  // The thread has published its results; it only has its wake-up left to post.
  reader.join();
  Reading() = false;

  return ReadResult;
}

bool ReadSourceFile(const std::string& path) {
  const std::int32_t result = InspectSourceFile(path);
  if (result != ReadOk && result != ReadPending) ShowReadFailure(result, path);
  return result == ReadOk;
}

void SetReadingThreadStarter(ReadingThreadStarter starter) { Starter() = std::move(starter); }
