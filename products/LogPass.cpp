#include "products/LogPass.h"

namespace morphel {

bool LogPass::Open(bool conversionPass) {
  reader_.AttachReceiverSelectors(&settings_);
  if (reader_.Open(settings_.InputFilename) != 0) {
    reader_.AttachReceiverSelectors(nullptr);
    hooks_.reportDetail(MessageKind::Error, kInputMissing,
                        SystemReason(settings_.InputFilename, reader_.Input.Error()));
    return false;
  }
  reader_.ConversionPass = conversionPass;
  reader_.RecordCounter = 0;
  return true;
}

void LogPass::Close() {
  readFailed_ = reader_.Input.Failed();
  readError_ = reader_.Input.Error();
  reader_.Close();
  reader_.AttachReceiverSelectors(nullptr);
}

}  // namespace morphel
