#include "codec/byte_buffer_streams.h"

#include "codec/diagnostics.h"

namespace flutter {

void ByteBufferStreamReader::ReportInvalidRead() {
  WriteDiagnosticLine(kInvalidReadLine);
}

}  // namespace flutter
