// The little C++ run-time a kernel driver has: static initialisers run by
// the driver's own start-up, and exit actions (the static objects'
// teardown) run when the driver goes.
#pragma once

#include <ntifs.h>

// Runs the static initialisers that the image loader has not run. Returns
// STATUS_INSUFFICIENT_RESOURCES when an exit action could not be recorded
// (it has then run at once), else STATUS_SUCCESS.
NTSTATUS KRunStaticInitializers();
// Runs the recorded exit actions, the last recorded first.
void KRunExitActions();
// How registering exit actions has gone so far.
NTSTATUS KExitActionStatus();
