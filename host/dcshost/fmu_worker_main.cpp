// dcshost-fmu-PLATFORM: the worker dcshost starts for each FMU block whose
// code runs out of its process. Its standard input and output are its
// channel to dcshost; what the FMU prints goes to standard error, so that
// nothing the FMU writes can be read as an answer.
#include <cstdio>

#include "plant/fmu_serve.h"
#include "system/foreign_call.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

int channelIn = 0;
int channelOut = 1;

bool ReadBytes(void* data, size_t size) {
  char* at = static_cast<char*>(data);
  while (size > 0) {
#if defined(_WIN32)
    const int got = _read(channelIn, at, static_cast<unsigned>(size));
#else
    const ssize_t got = read(channelIn, at, size);
#endif
    if (got <= 0) {
      return false;
    }
    at += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteBytes(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
#if defined(_WIN32)
    const int put = _write(channelOut, at, static_cast<unsigned>(size));
#else
    const ssize_t put = write(channelOut, at, size);
#endif
    if (put <= 0) {
      return false;
    }
    at += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  (void)argv;
  if (argc != 1) {
    (void)std::fprintf(stderr, "dcshost-fmu: dcshost starts this program for an FMU block; it takes no arguments\n");
    return 2;
  }
  // The channel keeps the original standard output; standard output becomes
  // standard error, for the FMU's own prints.
#if defined(_WIN32)
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  channelOut = _dup(1);
  _dup2(2, 1);
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
#else
  (void)std::signal(SIGPIPE, SIG_IGN);  // a write to a dcshost that is gone fails instead
  channelOut = dup(1);
  dup2(2, 1);
#endif
  if (channelOut < 0) {
    return 2;
  }
  host::LetForeignExitsThrough();  // dcshost says how the worker ended, with the FMU's own status
  const host::WorkerChannel channel{ReadBytes, WriteBytes};
  return host::ServeFmu(channel);
}
