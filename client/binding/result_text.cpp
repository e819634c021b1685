#include "binding/result_text.h"

#include "TRK7700_DLL.h"

namespace trk7700::client {

std::string resultText(int32_t result)
{
    const char *name = trk7700_result_name(result);
    return name != nullptr ? std::to_string(result) + " " + name : std::to_string(result);
}

}  // namespace trk7700::client
