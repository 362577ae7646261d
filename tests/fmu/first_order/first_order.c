/* A first-order plant for the tests: y follows k * u + offset with time constant T,
 * held while `hold` is true, counting its steps; it discards a step that
 * would pass `discard_at` s (when that is not negative). */
#include <math.h>
#include <stdio.h>

#include "fmu_common.h"

enum { U, Y, K, T, DISCARD_AT, Y0, OFFSET };  /* Reals */
enum { STEPS, HOLD };                  /* an Integer and a Boolean */

const char* const Guid = "{8c4e810f-3df3-4a00-8276-176fa3c9f000}";

void Starts(Instance* m) {
  m->r[U] = 0.0, m->r[Y] = 0.0, m->r[K] = 1.0, m->r[T] = 10.0, m->r[DISCARD_AT] = -1.0, m->r[Y0] = 0.0, m->r[OFFSET] = 0.0;
  m->i[STEPS] = 0, m->i[HOLD] = 0;
}

void Initialize(Instance* m) { m->r[Y] = m->r[Y0]; }

fmi2Status Step(Instance* m, double h) {
  char text[96];
  if (m->r[DISCARD_AT] >= 0.0 && m->time + h > m->r[DISCARD_AT] + 1e-9) {
    snprintf(text, sizeof text, "the model cannot go on beyond %g s", m->r[DISCARD_AT]);
    Log(m, fmi2Discard, "logStatusDiscard", text);
    return fmi2Discard;
  }
  if (!m->i[HOLD]) {
    const double target = m->r[K] * m->r[U] + m->r[OFFSET];
    m->r[Y] = target + (m->r[Y] - target) * exp(-h / m->r[T]);
  }
  m->i[STEPS] += 1;
  if (m->debug) {
    snprintf(text, sizeof text, "step %d to %g s: y = %g", m->i[STEPS], m->time + h, m->r[Y]);
    Log(m, fmi2OK, "logAll", text);
  }
  return fmi2OK;
}
