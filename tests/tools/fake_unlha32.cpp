// A stand-in unlha32 that has a version entry but lacks the command entry point.
#include "plugins/plugin_api.h"

extern "C" TEMBREL_EXPORT int UnlhaGetVersion(void)
{
    return 100;
}
