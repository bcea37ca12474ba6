#include "ui/window_template.h"

#include <algorithm>

namespace vq {

std::vector<const ControlTemplate*> tabRing(const WindowTemplate& window) {
  std::vector<const ControlTemplate*> ring;
  for (auto it = window.controls.rbegin(); it != window.controls.rend(); ++it) {
    if (it->tabStop) ring.push_back(&*it);
  }
  return ring;
}

const ControlTemplate* nextInTabRing(const WindowTemplate& window, int currentId, bool backwards) {
  const std::vector<const ControlTemplate*> ring = tabRing(window);
  if (ring.empty()) return nullptr;
  const auto current =
      std::find_if(ring.begin(), ring.end(),
                   [currentId](const ControlTemplate* c) { return c->id == currentId; });
  if (current == ring.end()) return ring.front();
  const std::size_t index = static_cast<std::size_t>(current - ring.begin());
  const std::size_t step = backwards ? ring.size() - 1 : 1;
  return ring[(index + step) % ring.size()];
}

const ControlTemplate* defaultButton(const WindowTemplate& window) {
  const auto found = std::find_if(window.controls.begin(), window.controls.end(),
                                  [](const ControlTemplate& c) { return c.defaultButton; });
  return found != window.controls.end() ? &*found : nullptr;
}

}  // namespace vq
