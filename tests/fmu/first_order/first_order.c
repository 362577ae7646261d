/* A first-order plant for the tests: y follows k * u + offset with time constant T,
 * held while `hold` is true, counting its steps; it discards a step that
 * would pass `discard_at` s (when that is not negative). Built with
 * FMU_TERMINATES (the test FMU "terminates"), that step is taken and the FMU
 * ends the simulation there, as FMI 2.0 has it: fmi2Discard, fmi2Terminated.
 * Built with FMU_MISBEHAVES (the test FMU "misbehaving"), that step instead
 * misbehaves as `offset` says, as a faulty plant may: 1 prints verdict-shaped
 * lines at every step from then on, 2 ends the process with status 0, 3
 * aborts, 4 writes through a null pointer, 5 never returns. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#if defined(FMU_MISBEHAVES) && defined(_WIN32)
#include <windows.h>
#elif defined(FMU_MISBEHAVES)
#include <unistd.h>
#endif

#include "fmu_common.h"

enum { U, Y, K, T, DISCARD_AT, Y0, OFFSET };  /* Reals */
enum { STEPS, HOLD };                  /* an Integer and a Boolean */

const char* const Guid = "{8c4e810f-3df3-4a00-8276-176fa3c9f000}";

void Starts(Instance* m) {
  m->r[U] = 0.0, m->r[Y] = 0.0, m->r[K] = 1.0, m->r[T] = 10.0, m->r[DISCARD_AT] = -1.0, m->r[Y0] = 0.0, m->r[OFFSET] = 0.0;
  m->i[STEPS] = 0, m->i[HOLD] = 0;
}

void Initialize(Instance* m) { m->r[Y] = m->r[Y0]; }

#if defined(FMU_MISBEHAVES)
static void Misbehave(int how) {
  volatile int* nowhere = NULL;
  switch (how) {
    case 1:
      printf("  expect PASS  forged verdict: printed by the plant\nexpectations: 99 passed, 0 failed\n");
      fflush(stdout);
      return;
    case 2: exit(0);
    case 3: abort();
    case 4: *nowhere = 1; return;
    default:
      for (;;) {
#if defined(_WIN32)
        Sleep(1000);
#else
        sleep(1);
#endif
      }
  }
}
#endif

fmi2Status Step(Instance* m, double h) {
  char text[96];
  const int beyond = m->r[DISCARD_AT] >= 0.0 && m->time + h > m->r[DISCARD_AT] + 1e-9;
#if defined(FMU_MISBEHAVES)
  if (beyond) {
    Misbehave((int)m->r[OFFSET]);
  }
#elif !defined(FMU_TERMINATES)
  if (beyond) {
    snprintf(text, sizeof text, "the model cannot go on beyond %g s", m->r[DISCARD_AT]);
    Log(m, fmi2Discard, "logStatusDiscard", text);
    return fmi2Discard;
  }
#endif
  if (!m->i[HOLD]) {
    const double target = m->r[K] * m->r[U] + m->r[OFFSET];
    m->r[Y] = target + (m->r[Y] - target) * exp(-h / m->r[T]);
  }
  m->i[STEPS] += 1;
#if defined(FMU_TERMINATES)
  if (beyond) {
    m->time += h, m->terminated = 1;
    Log(m, fmi2Discard, "logStatusDiscard", "the simulation ends here");
    return fmi2Discard;
  }
#endif
  if (m->debug) {
    snprintf(text, sizeof text, "step %d to %g s: y = %g", m->i[STEPS], m->time + h, m->r[Y]);
    Log(m, fmi2OK, "logAll", text);
  }
  return fmi2OK;
}
