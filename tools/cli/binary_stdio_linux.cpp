#include "binary_stdio.h"

namespace kovrel::cli {

void useBinaryStandardStreams() {}  // POSIX streams carry bytes as they are

}  // namespace kovrel::cli
