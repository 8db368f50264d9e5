#include "core/RunHooks.h"

namespace morphel {

const char* MessageCaption(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information:
      return "Information";
    case MessageKind::Warning:
      return "Warning";
    case MessageKind::Error:
      return "Error";
  }
  return "Information";
}

}  // namespace morphel
