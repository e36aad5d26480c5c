// A foundation-layer object that calls up into the log, as a careless change would: the
// layer check must name this call (it is built only for that check, never linked).
#include "qvbase/QvLog.h"

void QvProbeWriteFromFoundation() { WriteLogText("probe"); }
