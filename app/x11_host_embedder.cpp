#include "app/x11_host_embedder.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvida::app {
namespace {

// Replies of xcb are malloc'ed; this frees them on every path.
struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

}  // namespace

X11HostEmbedder::X11HostEmbedder(xcb_connection_t* connection) : connection_(connection) {}

X11HostEmbedder::~X11HostEmbedder() {
  if (filter_installed_ && QCoreApplication::instance()) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
  // The window's native window is a QObject child of the host's QWindow: take it back before
  // the host's QWindow goes, so that it is not deleted behind the widget's back.
  if (window_ && window_->windowHandle() && host_window_ &&
      window_->windowHandle()->parent() == host_window_.get()) {
    window_->windowHandle()->setParent(nullptr);
  }
}

bool X11HostEmbedder::Embed(QWidget& window, std::uint32_t host_window) {
  // Qt neither fails nor warns when the id names no window: it would show a borderless
  // top-level window instead. Ask the X server first whether the id names a window that can
  // hold ours (a pixmap or an input-only window cannot).
  const xcb_window_t host = host_window;
  // Resizes and the end of the host's window arrive as events on our own connection. Asked
  // before the checks, so that a host that goes away right after them is still noticed; on
  // an id that names no window the request fails, and that failure is of no interest.
  const std::uint32_t event_mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  const xcb_void_cookie_t select_cookie =
      xcb_change_window_attributes_checked(connection_, host, XCB_CW_EVENT_MASK, &event_mask);
  xcb_discard_reply(connection_, select_cookie.sequence);
  const xcb_get_window_attributes_cookie_t attributes_cookie =
      xcb_get_window_attributes(connection_, host);
  const xcb_get_geometry_cookie_t geometry_cookie = xcb_get_geometry(connection_, host);
  xcb_generic_error_t* attributes_error = nullptr;
  xcb_generic_error_t* geometry_error = nullptr;
  Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(connection_, attributes_cookie, &attributes_error));
  Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(connection_, geometry_cookie, &geometry_error));
  std::free(attributes_error);
  std::free(geometry_error);
  if (!attributes || !geometry || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
    return false;
  }

  std::unique_ptr<QWindow> foreign(QWindow::fromWinId(host));
  if (!foreign) return false;

  window.setWindowFlags(window.windowFlags() | Qt::FramelessWindowHint);
  window.winId();  // the native window must exist before it can be re-parented
  QWindow* handle = window.windowHandle();
  if (!handle) return false;
  host_window_ = std::move(foreign);
  handle->setParent(host_window_.get());
  window_ = &window;
  host_ = host;
  root_ = geometry->root;
  host_size_ = QSize(geometry->width, geometry->height);
  if (!filter_installed_) {
    QCoreApplication::instance()->installNativeEventFilter(this);
    filter_installed_ = true;
  }
  Place();
  xcb_flush(connection_);
  return true;
}

void X11HostEmbedder::Place() {
  if (!window_) return;
  const qreal ratio = window_->devicePixelRatioF() > 0 ? window_->devicePixelRatioF() : 1.0;
  const QSize host(static_cast<int>(std::floor(host_size_.width() / ratio)),
                   static_cast<int>(std::floor(host_size_.height() / ratio)));
  const QSize own = window_->size();
  const QPoint offset(std::max(0, (host.width() - own.width()) / 2),
                      std::max(0, (host.height() - own.height()) / 2));
  const QRect geometry(offset, own);
  window_->setGeometry(geometry);
  // A widget that is not shown keeps a new position to itself until it is; the native window
  // must move now, as an automatic action's dialogs come before the window ever shows.
  if (QWindow* handle = window_->windowHandle()) handle->setGeometry(geometry);
}

std::optional<QRect> X11HostEmbedder::EmbeddedGeometry(const QWidget& widget) const {
  if (!window_ || host_ == 0 || widget.window() != window_.data()) return std::nullopt;
  const xcb_window_t own = static_cast<xcb_window_t>(window_->winId());
  Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, own, root_, 0, 0), nullptr));
  if (!origin) return std::nullopt;
  const qreal ratio = window_->devicePixelRatioF() > 0 ? window_->devicePixelRatioF() : 1.0;
  return QRect(
      QPoint(static_cast<int>(origin->dst_x / ratio), static_cast<int>(origin->dst_y / ratio)),
      window_->size());
}

void X11HostEmbedder::FocusWindow() {
  if (!window_ || !window_mapped_ || host_ == 0) return;
  // activateWindow() does not move the X focus into a foreign window's child; the server
  // must be told. The window may have gone in the meantime: its error is of no interest.
  const xcb_void_cookie_t cookie =
      xcb_set_input_focus_checked(connection_, XCB_INPUT_FOCUS_PARENT,
                                  static_cast<xcb_window_t>(window_->winId()), XCB_CURRENT_TIME);
  xcb_discard_reply(connection_, cookie.sequence);
  xcb_flush(connection_);
}

void X11HostEmbedder::RefocusAfterDialog() {
  // Not while another dialog or a popup of ours is still open.
  const QWidget* modal = QApplication::activeModalWidget();
  if ((modal && modal != window_) || QApplication::activePopupWidget()) return;
  FocusWindow();
}

bool X11HostEmbedder::InsideWindow(std::uint32_t x_window) const {
  if (!window_) return false;
  if (x_window == window_->winId()) return true;
  const QWidget* widget = QWidget::find(x_window);
  return widget && widget->window() == window_;
}

bool X11HostEmbedder::nativeEventFilter(const QByteArray& event_type, void* message, qintptr*) {
  if (host_ == 0 || event_type != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  switch (event->response_type & 0x7F) {
    case XCB_CONFIGURE_NOTIFY: {
      const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      if (configure->window == host_ && configure->event == host_) {
        const QSize size(configure->width, configure->height);
        if (size != host_size_) {
          host_size_ = size;
          Place();
        }
      }
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto* destroy = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
      if (destroy->window == host_) {
        // The X server has destroyed our window with it; nothing can be shown any more.
        host_ = 0;
        window_mapped_ = false;
        NotifyHostDestroyed();
        // Ends the main loop and any modal dialog's loop; quit() could be refused while
        // windows close.
        QCoreApplication::exit(0);
      }
      break;
    }
    case XCB_MAP_NOTIFY: {
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      if (window_ && map->window == window_->winId()) {
        window_mapped_ = true;
        FocusWindow();
      }
      break;
    }
    case XCB_UNMAP_NOTIFY: {
      const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
      if (!window_) break;
      if (unmap->window == window_->winId()) {
        window_mapped_ = false;
      } else if (window_mapped_ && unmap->window != host_) {
        // One of our dialogs closed: the X focus went back to the root window or the host, not
        // to the window the dialog belonged to. Once Qt has finished closing it, take it back.
        QMetaObject::invokeMethod(
            window_.data(), [this] { RefocusAfterDialog(); }, Qt::QueuedConnection);
      }
      break;
    }
    case XCB_BUTTON_PRESS: {
      // A window manager that focuses on click gives the focus back to the host's top-level
      // window on every click: take it again.
      const auto* press = reinterpret_cast<const xcb_button_press_event_t*>(event);
      if (InsideWindow(press->event)) FocusWindow();
      break;
    }
    default:
      break;
  }
  return false;
}

}  // namespace orvida::app
