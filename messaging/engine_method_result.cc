#include "messaging/engine_method_result.h"

namespace flutter {

template class EngineMethodResult<EncodableValue>;

}  // namespace flutter
