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

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }

  std::string Name;

  // Asks to receive Notification(other, opRemove) when `other` is destroyed. The link is
  // mutual: whichever of the two goes first unlinks itself from the other.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

 protected:
  // Called on this component when a component it asked about (or owns) is destroyed. During the
  // call `component` is being torn down: compare the pointer, never use the object.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void Unlink(TComponent* other);

  TComponent* owner_;
  std::vector<TComponent*> components_;    // owned, destroyed with this component
  std::vector<TComponent*> freeNotifies_;  // told when this component is destroyed
};

}  // namespace engine
