#include "support/pulse_tsan_suppressions.h"
