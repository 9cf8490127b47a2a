#include "engine/component.h"

#include <algorithm>

namespace engine {

namespace {
void Erase(std::vector<Component*>& list, Component* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
}  // namespace

Component::Component(Component* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

Component::~Component() {
  // Tell the interested components first, while the owner link still stands.
  while (!freeNotifies_.empty()) {
    Component* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    Erase(other->freeNotifies_, this);
    other->Notification(this, ComponentOperation::Remove);
  }
  // Owned components go last-created first, as an owner tears down what it built.
  while (!components_.empty()) {
    Component* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
  if (owner_ != nullptr) {
    Erase(owner_->components_, this);
    owner_->Notification(this, ComponentOperation::Remove);
  }
}

void Component::FreeNotification(Component* other) {
  if (other == nullptr || other == this) return;
  if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) == other->freeNotifies_.end())
    other->freeNotifies_.push_back(this);
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
    freeNotifies_.push_back(other);
}

void Component::RemoveFreeNotification(Component* other) {
  if (other != nullptr) Unlink(other);
}

void Component::Unlink(Component* other) {
  Erase(freeNotifies_, other);
  Erase(other->freeNotifies_, this);
}

void Component::Notification(Component* /*component*/, ComponentOperation /*operation*/) {}

}  // namespace engine
