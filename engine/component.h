// The component base of the engine: a component has an owner that destroys it, a name, and can
// ask to be told when another component is destroyed (so that an output that uses a component as
// its input drops the reference instead of keeping a dangling one).
//
// Components are created on the heap with `new`. A component with an owner is destroyed by that
// owner; one without an owner by whoever created it. Creation, destruction and notification run
// on the main thread.
#pragma once

#include <string>
#include <vector>

namespace engine {

enum class ComponentOperation { Insert, Remove };

class Component {
 public:
  explicit Component(Component* owner);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Component* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }

  std::string name;

  // Asks to receive Notification(other, Remove) when `other` is destroyed. The link is
  // mutual: whichever of the two goes first unlinks itself from the other.
  void FreeNotification(Component* other);
  void RemoveFreeNotification(Component* other);

 protected:
  // Called on this component when a component it asked about (or owns) is destroyed. During the
  // call `component` is being torn down: compare the pointer, never use the object.
  virtual void Notification(Component* component, ComponentOperation operation);

 private:
  void Unlink(Component* other);

  Component* owner_;
  std::vector<Component*> components_;    // owned, destroyed with this component
  std::vector<Component*> freeNotifies_;  // told when this component is destroyed
};

}  // namespace engine
