#include "app/workspace.h"

namespace app {

Workspace::Workspace(std::string programFolder, platform::Dispatcher& dispatcher)
    : messages(desktop), programFolder_(std::move(programFolder)), dispatcher_(dispatcher), store_(programFolder_) {}

void Workspace::LoadSettings() { settings = store_.Load(); }

void Workspace::SaveSettings() { store_.Save(settings); }

}  // namespace app
