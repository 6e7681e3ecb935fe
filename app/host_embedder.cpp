#include "app/host_embedder.h"

namespace orvida::app {

std::unique_ptr<HostEmbedder> CreateHostEmbedder() {
  // Re-parenting into a foreign X11 window is not available yet: the window stays an ordinary
  // dialog, and the host protocol (automatic action, result code) still applies.
  return std::make_unique<NoHostEmbedder>();
}

}  // namespace orvida::app
