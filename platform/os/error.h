#pragma once

#include <stdexcept>
#include <string>

namespace orvida {

// Every failure the user can see: the message is the Spanish sentence shown in the error box
// of the window or printed by the batch tool after "error: ". Messages are UTF-8 and name what
// failed and where (file, table, field, line and column).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that should be a whole number and is not: "'%s' no es un valor entero válido".
class ConversionError : public Error {
 public:
  using Error::Error;
};

// A table or file held by another program (an exclusive open, or a lock, was refused).
class InUseError : public Error {
 public:
  using Error::Error;
};

// A short Spanish reason for an errno value, to follow "No se puede abrir <archivo>: "
// ("no existe", "no tiene permiso", ...); the C library's text for the uncommon ones.
std::string DescribeSystemError(int error_number);

}  // namespace orvida
