#include "runtime1/definitions/My_types_mini.h"

namespace qn {

tool_type current_tool_var = tt_hub;

}  // namespace qn
