// The storage of DCSDriverState: zero-initialised, no constructor runs.
#include "driver/driver_state.h"

namespace dcs {

DCSDriverState DriverState;

}  // namespace dcs
