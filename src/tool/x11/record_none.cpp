// demotool record in a tool built without X11's RECORD and shared-memory libraries: says what is missing.
#include "tool/commands.h"
#include "tool/session.h"

namespace demotool {

int RunRecord(const std::vector<std::string>&) {
  throw ToolError{"this demotool was built without X11's RECORD extension (libxtst-dev) and cannot record"};
}

}  // namespace demotool
