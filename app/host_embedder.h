#pragma once

#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

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

  // Where `widget`'s window lies on the screen, when it is the window placed inside the host's
  // window; nothing otherwise. Qt cannot tell through a foreign parent, and the dialogs of the
  // window are centred over it.
  virtual std::optional<QRect> EmbeddedGeometry(const QWidget&) const { return std::nullopt; }

  // What to do when the host's window is destroyed while the window sits inside it (the host
  // ended or crashed): the window goes with it, so the program must leave its result and end.
  // Set before Embed; the embedder ends every event loop after calling it.
  void SetHostDestroyedHandler(std::function<void()> handler) {
    host_destroyed_ = std::move(handler);
  }

 protected:
  void NotifyHostDestroyed() {
    if (host_destroyed_) host_destroyed_();
  }

 private:
  std::function<void()> host_destroyed_;
};

// For platforms without foreign windows (offscreen, Wayland) and for tests: never embeds.
class NoHostEmbedder : public HostEmbedder {
 public:
  bool Embed(QWidget&, std::uint32_t) override { return false; }
};

// The embedder for the platform the application runs on: the X11 one under the xcb platform
// plugin with a live X connection, otherwise NoHostEmbedder. Call after QApplication exists.
std::unique_ptr<HostEmbedder> CreateHostEmbedder();

}  // namespace orvida::app
