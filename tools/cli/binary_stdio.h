#pragma once
// kovrel-cli's outputs are byte-exact (the host's answer is binary, the trace and OMA files have
// fixed line ends) and "-" reads a binary recorded read from standard input. Windows opens the
// standard streams in text mode, turning every LF into CR LF and stopping input at the first
// 0x1A: they are switched to binary before anything is read or written.

namespace kovrel::cli {

void useBinaryStandardStreams();

}  // namespace kovrel::cli
