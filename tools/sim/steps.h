// The scenario's steps, applied as their frame starts: what the game does (the ped's model and
// handle, a component's tints) and what is done to ManeShade.ini from outside the game (write,
// replace, delete, touch, lock, unlock). Each is reported on the timeline and in the events.
#pragma once
#include "tools/sim/session.h"

// Applies `step`; a step that fails (a file operation) is reported with the Windows error and
// counted as a problem, and the session goes on.
void steps_apply(Session &s, const Step &step);

// Closes the file that an ini lock step still holds open, if any.
void steps_release(Session &s);
