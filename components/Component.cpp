#include "components/Component.h"

#include <algorithm>

namespace ficha {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  while (!components_.empty()) {
    TComponent* child = components_.back();
    delete child;  // removes itself from components_
  }
  if (owner_ != nullptr) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (!owner_->destroying_) {
      for (TComponent* sibling : list) sibling->Notification(this, Operation::kRemove);
    }
  }
}

void TComponent::NotifyInserted() {
  if (owner_ == nullptr) return;
  for (TComponent* sibling : owner_->components_) {
    if (sibling != this) sibling->Notification(this, Operation::kInsert);
  }
}

}  // namespace ficha
