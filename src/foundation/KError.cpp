#include "foundation/KError.h"

#include <string>

KError::KError(int code, int subcode)
    : std::runtime_error("Kestrun error " + std::to_string(code) +
                         (subcode >= 0 ? "," + std::to_string(subcode) : std::string())),
      m_code(code),
      m_subcode(subcode) {}
