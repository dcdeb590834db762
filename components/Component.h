// TComponent: the base of every component (session, database, datasets, the
// utility's window and its controls). A component has an owner that frees
// it, a name and a loading state.
//
// Ownership: a component given an owner at construction is freed by that
// owner's destructor (last created first) unless it was deleted before; a
// component deletes itself from its owner's list when destroyed. A component
// without owner belongs to whoever created it.
// REQUIRES: a component created with an owner is allocated with new.
//
// Loading: a form definition creates its components, calls BeginLoading on
// each, sets their properties and then calls Loaded on each. Properties whose
// effect needs the whole definition (a session's Active) are only remembered
// while Loading() is true and applied in Loaded.
#pragma once

#include <string>
#include <vector>

namespace ficha {

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();

  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name) { name_ = name; }

  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  // Ends the loading state; overrides apply what they remembered and must
  // call this first.
  virtual void Loaded() { loading_ = false; }

  // The components this one owns, in creation order.
  const std::vector<TComponent*>& Components() const { return components_; }

 protected:
  // Called on every component of the owner when `component` joins it (after
  // it is fully constructed, see NotifyInserted) or leaves it.
  enum class Operation { kInsert, kRemove };
  virtual void Notification(TComponent* /*component*/, Operation /*operation*/) {}

  // Tells the siblings that this component has joined its owner. Derived
  // classes whose siblings may react (auto-session names) call it at the
  // end of their constructor.
  void NotifyInserted();

 private:
  TComponent* owner_;
  std::string name_;
  bool loading_ = false;
  bool destroying_ = false;
  std::vector<TComponent*> components_;
};

}  // namespace ficha
