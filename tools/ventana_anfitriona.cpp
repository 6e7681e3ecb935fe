// ventana_anfitriona: a plain X11 window that plays the timetabling program's window for tests
// and demos. It prints its id in hexadecimal, as the host passes it to TransOrvidaAldrena, and
// waits; with --lanzar it starts TransOrvidaAldrena itself with an action word and that id,
// waits for it to end and prints the result code the program left in Velmora.ini.
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/ini_file.h"
#include "platform/os/paths.h"

extern char** environ;

namespace {

constexpr std::string_view kHelp =
    "Uso: ventana_anfitriona [--tamano ANCHOxALTO] [--titulo TEXTO] [--lanzar PROGRAMA ACCION]\n"
    "                        [--espera SEGUNDOS]\n"
    "\n"
    "Hace de ventana del programa de horarios: abre una ventana X11, escribe su identificador\n"
    "en hexadecimal (sin prefijo, como lo recibe TransOrvidaAldrena) y espera hasta que se\n"
    "cierre la ventana o el proceso reciba SIGINT o SIGTERM (entonces destruye la ventana).\n"
    "\n"
    "Opciones:\n"
    "  --tamano ANCHOxALTO     Tamaño de la ventana (por omisión 800x480).\n"
    "  --titulo TEXTO          Título de la ventana (por omisión \"Velmora\").\n"
    "  --lanzar PROGRAMA ACCION\n"
    "                          Ejecuta PROGRAMA ACCION <identificador>, espera a que termine y\n"
    "                          escribe \"Transformado=<valor>\" con el valor de la clave\n"
    "                          Transformado de [Transformadores] en el Velmora.ini de la\n"
    "                          carpeta de PROGRAMA; luego termina.\n"
    "  --espera SEGUNDOS       Con --lanzar: tiempo máximo de espera (por omisión 600); pasado,\n"
    "                          termina el programa lanzado y sale con 1.\n"
    "  --help                  Muestra esta ayuda.\n"
    "\n"
    "Códigos de salida: 0 bien; 1 no se pudo abrir la ventana, lanzar el programa o este no\n"
    "terminó a tiempo; 2 línea de órdenes incorrecta.\n";

volatile std::sig_atomic_t stop_requested = 0;

void RequestStop(int) { stop_requested = 1; }

int Usage(const std::string& message) {
  std::cerr << "error: " << message << "\nUse 'ventana_anfitriona --help' para ver las opciones.\n";
  return 2;
}

bool ParseNumber(std::string_view text, int limit, int& value) {
  if (text.empty() || text.size() > 6) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= limit;
}

bool ParseSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  return ParseNumber(std::string_view(text).substr(0, x), 8000, width) &&
         ParseNumber(std::string_view(text).substr(x + 1), 8000, height);
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

// The window and the connection it lives on, closed on every path.
class HostWindow {
 public:
  HostWindow(int width, int height, const std::string& title) {
    int screen_number = 0;
    connection_ = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(connection_)) {
      xcb_disconnect(connection_);
      throw std::runtime_error("no se pudo conectar con el servidor X (DISPLAY=" +
                               std::string(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") +
                               ")");
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_number && screens.rem; ++i) xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;

    window_ = xcb_generate_id(connection_);
    // A light grey-blue, the colour of the host's work area.
    const std::uint32_t values[] = {0xB8C8D8, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, title.size(), title.data());
    const xcb_atom_t utf8 = Atom(connection_, "UTF8_STRING");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_,
                        Atom(connection_, "_NET_WM_NAME"), utf8, 8, title.size(), title.data());
    static constexpr char kClass[] = "ventana_anfitriona\0Velmora";
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, sizeof(kClass), kClass);
    // The window manager's close button asks instead of killing the connection.
    wm_protocols_ = Atom(connection_, "WM_PROTOCOLS");
    wm_delete_window_ = Atom(connection_, "WM_DELETE_WINDOW");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, wm_protocols_, XCB_ATOM_ATOM,
                        32, 1, &wm_delete_window_);

    // A caption drawn in the server's core font, so that screenshots show which window is the
    // host's.
    font_ = xcb_generate_id(connection_);
    xcb_open_font(connection_, font_, 5, "fixed");
    gc_ = xcb_generate_id(connection_);
    const std::uint32_t gc_values[] = {screen->black_pixel, 0xB8C8D8, font_};
    xcb_create_gc(connection_, gc_, window_, XCB_GC_FOREGROUND | XCB_GC_BACKGROUND | XCB_GC_FONT,
                  gc_values);
    caption_ = title + " - ventana anfitriona";

    xcb_map_window(connection_, window_);
    xcb_flush(connection_);
  }

  ~HostWindow() {
    Destroy();
    xcb_disconnect(connection_);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  xcb_window_t id() const { return window_; }
  bool alive() const { return window_ != 0; }

  // Destroys the window: a program embedded in it sees the host's window go.
  void Destroy() {
    if (window_ == 0) return;
    xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
    window_ = 0;
  }

  // Handles the events that came in; waits up to `timeout_ms` for the first. Returns false
  // when the window was closed through the window manager or the connection broke.
  bool Pump(int timeout_ms) {
    pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
    poll(&fd, 1, timeout_ms);
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const std::uint8_t type = event->response_type & 0x7F;
      if (type == XCB_EXPOSE && window_ != 0) {
        xcb_image_text_8(connection_, static_cast<std::uint8_t>(caption_.size()), window_, gc_, 8,
                         16, caption_.c_str());
        xcb_flush(connection_);
      } else if (type == XCB_CLIENT_MESSAGE) {
        const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (message->type == wm_protocols_ && message->data.data32[0] == wm_delete_window_) {
          std::free(event);
          return false;
        }
      }
      std::free(event);
    }
    return !xcb_connection_has_error(connection_);
  }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_font_t font_ = 0;
  xcb_gcontext_t gc_ = 0;
  xcb_atom_t wm_protocols_ = XCB_ATOM_NONE;
  xcb_atom_t wm_delete_window_ = XCB_ATOM_NONE;
  std::string caption_;
};

std::string HexId(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", id);
  return text;
}

// The value the program left in Velmora.ini beside it, or a note that there is none.
std::string ResultCode(const std::filesystem::path& program) {
  const std::filesystem::path folder = std::filesystem::absolute(program).parent_path();
  const std::optional<std::filesystem::path> ini =
      orvida::os::FindEntryIgnoreCase(folder, "Velmora.ini");
  if (!ini) return "(no existe " + (folder / "Velmora.ini").string() + ")";
  const std::string value =
      orvida::os::ReadIniString(*ini, "Transformadores", "Transformado", "\x01");
  if (value == "\x01") return "(sin clave Transformado en " + ini->string() + ")";
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int width = 800;
  int height = 480;
  int wait_seconds = 600;
  std::string title = "Velmora";
  std::string program;
  std::string action;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
    if (arg == "--lanzar") {
      if (i + 2 >= args.size()) return Usage("--lanzar necesita PROGRAMA y ACCION");
      program = args[++i];
      action = args[++i];
      continue;
    }
    if (arg != "--tamano" && arg != "--titulo" && arg != "--espera") {
      return Usage("opción desconocida: '" + arg + "'");
    }
    if (i + 1 >= args.size()) return Usage("falta el valor de " + arg);
    const std::string& value = args[++i];
    if (arg == "--tamano") {
      if (!ParseSize(value, width, height)) {
        return Usage("'" + value + "' no es un tamaño válido (ANCHOxALTO, de 1 a 8000)");
      }
    } else if (arg == "--titulo") {
      title = value;
    } else if (!ParseNumber(value, 86400, wait_seconds)) {
      return Usage("'" + value + "' no es un número de segundos válido (1 a 86400)");
    }
  }

  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);

  try {
    HostWindow window(width, height, title);
    const std::string id = HexId(window.id());
    std::cout << id << std::endl;

    if (program.empty()) {
      while (!stop_requested && window.Pump(200)) {
      }
      return 0;
    }

    std::vector<char*> child_argv{program.data(), action.data(), const_cast<char*>(id.c_str()),
                                  nullptr};
    pid_t child = 0;
    if (const int error =
            posix_spawn(&child, program.c_str(), nullptr, nullptr, child_argv.data(), environ)) {
      std::cerr << "error: no se pudo ejecutar " << program << ": " << std::strerror(error) << '\n';
      return 1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        std::cerr << "error: " << program << " no terminó en " << wait_seconds << " s\n";
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return 1;
      }
      // Closing or stopping the host destroys its window, as the real host's end would; the
      // program inside must then end by itself.
      if (window.alive() && (stop_requested || !window.Pump(100))) window.Destroy();
      if (!window.alive()) usleep(100'000);
    }
    if (WIFEXITED(status)) {
      std::cerr << program << " terminó con código " << WEXITSTATUS(status) << '\n';
    } else if (WIFSIGNALED(status)) {
      std::cerr << program << " terminó por la señal " << WTERMSIG(status) << '\n';
    }
    std::cout << "Transformado=" << ResultCode(program) << std::endl;
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "error: " << error.what() << '\n';
    return 1;
  }
}
