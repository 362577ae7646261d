// The worker's side of an FMU run out of dcshost's process: it reads calls
// from its channel, makes them on the FMU it opened (as FmuUnit, in its own
// process), and answers each, with what the FMU logged during the call. A
// crash, an abort or an exit in the FMU ends this process only.
#pragma once

#include <cstddef>

namespace host {

// The channel to dcshost: each function moves exactly `size` bytes, false
// once the channel is closed.
struct WorkerChannel {
  bool (*read)(void* data, size_t size);
  bool (*write)(const void* data, size_t size);
};

// Serves calls until dcshost closes the channel (then the FMU is terminated
// and freed, and it returns 0) or sends what is not a call (2).
int ServeFmu(const WorkerChannel& channel);

}  // namespace host
