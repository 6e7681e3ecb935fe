#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "app/host_embedder.h"

class QWindow;
struct xcb_connection_t;

namespace orvida::app {

// Embeds the window into a foreign X11 window (the host's, also when the host runs under
// Wine) through the xcb platform plugin: a borderless child, centred in the host's client area,
// kept centred when the host is resized, with the X input focus so that keys reach it without
// the pointer over it. When the host's window is destroyed, the host-destroyed handler runs and
// every event loop ends (QCoreApplication::exit(0)), also a modal dialog's.
class X11HostEmbedder : public HostEmbedder, public QAbstractNativeEventFilter {
 public:
  // `connection`: the application's own X connection (never null), so that the events selected
  // on the host's window arrive with Qt's.
  explicit X11HostEmbedder(xcb_connection_t* connection);
  ~X11HostEmbedder() override;
  X11HostEmbedder(const X11HostEmbedder&) = delete;
  X11HostEmbedder& operator=(const X11HostEmbedder&) = delete;

  bool Embed(QWidget& window, std::uint32_t host_window) override;
  std::optional<QRect> EmbeddedGeometry(const QWidget& widget) const override;

  bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr* result) override;

  // The host's size as last reported by the X server, in device pixels.
  QSize host_size() const { return host_size_; }

 private:
  // Centres the window in the host's client area; a host smaller than the window keeps the
  // window's top-left corner (its captions) in view.
  void Place();
  // Gives the X input focus to the window, when it is on screen.
  void FocusWindow();
  void RefocusAfterDialog();
  bool InsideWindow(std::uint32_t x_window) const;

  xcb_connection_t* connection_;
  std::uint32_t host_ = 0;
  std::uint32_t root_ = 0;  // the root window of the host's screen
  QSize host_size_;
  QPointer<QWidget> window_;
  std::unique_ptr<QWindow> host_window_;
  bool window_mapped_ = false;
  bool filter_installed_ = false;
};

}  // namespace orvida::app
