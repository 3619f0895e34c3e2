// The plug-in library's exported entries: the component entry that makes and
// drives the editor, and the view entry that opens its panel.
#include "src/Halvoran.h"

HALVORAN_UNIT_ENTRY(Halvoran, "com.tallowmere.halvoran")
