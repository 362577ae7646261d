/* The tank of the tank example as an FMU: the valve on its inflow in, the
 * level out, the outflow through the square root of the level. It keeps the
 * built-in tank's arithmetic, so that the two runs agree step for step. */
#include <math.h>

#include "fmu_common.h"

enum { VALVE, LEVEL, INFLOW, OUTFLOW, AREA, INFLOW_MAX, OUTFLOW_COEFFICIENT, HEIGHT, LEVEL0 };

const char* const Guid = "{5d1c1e0a-6b1f-4f7e-9a51-7a4c5f0d7a01}";

void Starts(Instance* m) {
  m->r[VALVE] = 0.5, m->r[LEVEL] = 1.0, m->r[INFLOW] = 0.0, m->r[OUTFLOW] = 0.0;
  m->r[AREA] = 2.0, m->r[INFLOW_MAX] = 0.05, m->r[OUTFLOW_COEFFICIENT] = 0.025, m->r[HEIGHT] = 5.0, m->r[LEVEL0] = 1.0;
}

void Initialize(Instance* m) { m->r[LEVEL] = m->r[LEVEL0]; }

static double Clamp(double x, double lo, double hi) { return x < lo ? lo : x > hi ? hi : x; }

fmi2Status Step(Instance* m, double h) {
  const double valve = Clamp(m->r[VALVE], 0.0, 1.0);
  const double inflow = m->r[INFLOW_MAX] * valve;
  const double outflow = m->r[OUTFLOW_COEFFICIENT] * sqrt(m->r[LEVEL] > 0.0 ? m->r[LEVEL] : 0.0);
  m->r[LEVEL] = Clamp(m->r[LEVEL] + (inflow - outflow) * h / m->r[AREA], 0.0, m->r[HEIGHT]);
  m->r[INFLOW] = inflow;
  m->r[OUTFLOW] = outflow;
  return fmi2OK;
}
