// The test unit as a plug-in library, exporting its two entries.
#include "TestUnit.h"

HALVORAN_UNIT_ENTRY(testunit::TestUnit, "com.tallowmere.halvoran.testunit")
