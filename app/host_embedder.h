#pragma once

#include <cstdint>
#include <memory>

class QWidget;

namespace orvida::app {

// Places the main window inside the host program's window when the host starts it.
class HostEmbedder {
 public:
  virtual ~HostEmbedder() = default;
  // Makes `window` a borderless child of the host's window `host_window`, placed inside its
  // client area. Returns false, leaving `window` an ordinary dialog, when `host_window` names
  // no window this platform can embed into.
  virtual bool Embed(QWidget& window, std::uint32_t host_window) = 0;
};

// For platforms without foreign windows (offscreen, Wayland) and for tests: never embeds.
class NoHostEmbedder : public HostEmbedder {
 public:
  bool Embed(QWidget&, std::uint32_t) override { return false; }
};

// The embedder for the platform the application runs on. Call after QApplication exists.
std::unique_ptr<HostEmbedder> CreateHostEmbedder();

}  // namespace orvida::app
