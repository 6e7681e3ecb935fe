#include "platform/os/error.h"

#include <cerrno>
#include <cstring>

namespace orvida {

std::string DescribeSystemError(int error_number) {
  switch (error_number) {
    case ENOENT:
      return "no existe";
    case EACCES:
    case EPERM:
      return "no tiene permiso";
    case EISDIR:
      return "es una carpeta";
    case ENOTDIR:
      return "una parte de la ruta no es una carpeta";
    case EROFS:
      return "el sistema de archivos es de solo lectura";
    case ENOSPC:
      return "no queda espacio en el disco";
    case EDQUOT:
      return "se ha superado la cuota de disco";
    case EFBIG:
      return "el archivo supera el tamaño máximo permitido";
    case EMFILE:
    case ENFILE:
      return "hay demasiados archivos abiertos";
    case ENAMETOOLONG:
      return "el nombre es demasiado largo";
    case ELOOP:
      return "hay demasiados enlaces simbólicos en la ruta";
    case ETXTBSY:
    case EBUSY:
      return "está en uso";
    case EIO:
      return "error de entrada/salida";
    case ENOLCK:
      return "el sistema no admite más bloqueos";
    case EEXIST:
      return "ya existe";
    default:
      return std::strerror(error_number);
  }
}

}  // namespace orvida
