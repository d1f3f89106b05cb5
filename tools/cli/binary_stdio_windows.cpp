#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "binary_stdio.h"

namespace kovrel::cli {

void useBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace kovrel::cli
