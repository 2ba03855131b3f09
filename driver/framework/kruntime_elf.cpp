// Start-up of the driver image on the host, where the image loader has run
// the static initialisers already (and recorded their exit actions here).
#include "kruntime.h"

NTSTATUS KRunStaticInitializers()
{
    return KExitActionStatus();
}
