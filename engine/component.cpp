#include "engine/component.h"

#include <algorithm>

namespace engine {

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
}  // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Tell the interested components first, while the owner link still stands.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    Erase(other->freeNotifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
  // Owned components go last-created first, as an owner tears down what it built.
  while (!components_.empty()) {
    TComponent* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
  if (owner_ != nullptr) {
    Erase(owner_->components_, this);
    owner_->Notification(this, TOperation::opRemove);
  }
}

void TComponent::FreeNotification(TComponent* other) {
  if (other == nullptr || other == this) return;
  if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) == other->freeNotifies_.end())
    other->freeNotifies_.push_back(this);
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
    freeNotifies_.push_back(other);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (other != nullptr) Unlink(other);
}

void TComponent::Unlink(TComponent* other) {
  Erase(freeNotifies_, other);
  Erase(other->freeNotifies_, this);
}

void TComponent::Notification(TComponent* /*component*/, TOperation /*operation*/) {}

}  // namespace engine
