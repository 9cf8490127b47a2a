#include "app/source_reader.h"

#include <system_error>

namespace app {

SourceReader::SourceReader(platform::Dispatcher& dispatcher)
    : dispatcher_(dispatcher), self_(std::make_shared<SourceReader*>(this)) {}

SourceReader::~SourceReader() {
  self_.reset();
  if (thread_.joinable()) thread_.join();
}

bool SourceReader::Read(const std::string& path, Done done) {
  if (busy_) return false;
  if (thread_.joinable()) thread_.join();  // the previous read, which has posted its result
  const std::weak_ptr<SourceReader*> reader = self_;
  platform::Dispatcher& dispatcher = dispatcher_;
  std::function<void()> body = [path, reader, &dispatcher, done = std::move(done)] {
    core::Inspection inspection = core::InspectMediaFile(path);
    dispatcher.Post([reader, done, inspection = std::move(inspection)] {
      const auto self = reader.lock();
      if (!self) return;
      (*self)->busy_ = false;
      done(inspection);
    });
  };
  try {
    thread_ = starter_ ? starter_(std::move(body)) : std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  busy_ = true;
  return true;
}

}  // namespace app
