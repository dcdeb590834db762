// TTimer: a window timer. The message loop (Program.cpp) calls Tick() every
// Interval milliseconds while the timer is enabled.
#pragma once

#include <functional>

#include "components/Component.h"

namespace ficha {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner) : TComponent(owner) {}

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  int Interval() const { return interval_; }
  void SetInterval(int ms) { interval_ = ms; }

  std::function<void()> OnTimer;

  // Fires the event when enabled.
  void Tick() {
    if (enabled_ && OnTimer) OnTimer();
  }

 private:
  bool enabled_ = true;
  int interval_ = 1000;
};

}  // namespace ficha
