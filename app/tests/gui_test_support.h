// What every GUI test needs: a workspace of its own (settings file and tag history lists in a
// fresh folder), the windows' controls found by their object names, and the event loop served
// while the program reads, asks and converts on its own.
//
// Thread: the test's, which is the user-interface thread.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QtTest/QTest>

#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/add_wizard.h"
#include "app/qt_dispatcher.h"
#include "app/source_reader.h"
#include "app/workspace.h"
#include "platform/paths/program_dirs.h"
#include "platform/paths/tests/test_support.h"

namespace guitest {

// The control of `parent` named `name`. A missing one fails the test at once: every step after
// it would only report the same thing again, or crash.
template <class T>
T* Child(QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromUtf8(name));
  if (child == nullptr) {
    const std::string what = parent.objectName().toStdString() + " has no control \"" + name + "\" of that type";
    ADD_FAILURE() << what;
    throw std::logic_error(what);
  }
  return child;
}

// Serves the event loop until `done` holds; false when it still does not after `timeoutMs` (a
// hang fails the test instead of stalling the suite). Between turns the loop sleeps a little, so
// waiting for a worker costs no processor.
inline bool ServeUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
  return QTest::qWaitFor(done, timeoutMs);
}

// A workspace as start-up makes it, with its settings file at `folder`/Tavisto.reg (created with
// the built-in defaults on the first load) and so the tag history lists in `folder` too.
class TestWorkspace {
 public:
  explicit TestWorkspace(const std::string& folder)
      : registryFile_(folder + "/Tavisto.reg"),
        registry_("TAVISTO_REGISTRY", registryFile_),
        workspace(platform::RunningProgramFolder(), dispatcher) {
    workspace.LoadSettings();
  }

  const std::string& RegistryFile() const { return registryFile_; }

 private:
  std::string registryFile_;
  platform::testing::ScopedEnvironment registry_;  // before the workspace: it outlives everything that reads settings

 public:
  app::QtDispatcher dispatcher;
  app::Workspace workspace;
};

// Clicks through the wizard whenever it is up, modal: Next, Next, OK (or Cancel), counting its
// shows. Lives as long as the adds and edits it drives.
class WizardAutopilot {
 public:
  explicit WizardAutopilot(app::AddWizard& wizard, bool cancel = false)
      : wizard_(wizard), button_(Child<QPushButton>(wizard, cancel ? "cancelButton" : "nextButton")) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start();
  }
  int shows = 0;

 private:
  void Step() {
    const bool visible = wizard_.isVisible() && QApplication::activeModalWidget() == &wizard_;
    if (visible && !wasVisible_) ++shows;
    wasVisible_ = visible;
    if (visible) button_->click();
  }

  app::AddWizard& wizard_;
  QPushButton* button_;
  bool wasVisible_ = false;
  QTimer timer_;
};

// Holds every read of `reader` at the start of its reading thread until Release (or the end of
// the gate's life): while it holds, the program is "reading a file" for as long as a test needs.
class ReadingGate {
 public:
  explicit ReadingGate(app::SourceReader& reader) : reader_(reader) {
    std::shared_future<void> opened = open_.get_future().share();
    reader_.SetThreadStarter([opened](std::function<void()> body) {
      return std::thread([opened, body = std::move(body)] {
        opened.wait();
        body();
      });
    });
  }
  ~ReadingGate() {
    Release();
    reader_.SetThreadStarter({});
  }
  ReadingGate(const ReadingGate&) = delete;
  ReadingGate& operator=(const ReadingGate&) = delete;

  void Release() {
    if (released_) return;
    released_ = true;
    open_.set_value();
  }

 private:
  app::SourceReader& reader_;
  std::promise<void> open_;
  bool released_ = false;
};

}  // namespace guitest
