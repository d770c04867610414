// The scenario's steps, applied as their frame starts: what the game does (the ped's model and
// handle, a component's tints, its clock set back, the modules' heap failing) and what is done to
// ManeShade.ini from outside the game (write, replace, torn, read fail, size, delete, touch, lock,
// unlock). Each is reported on the timeline and in the events; a time set on the file is reported
// as the file system kept it.
#pragma once
#include "tools/sim/session.h"

// Applies `step` to the world and the files, and reports it in the frame of `record`. A step that
// cannot do its part (a file operation the system refuses) is reported as failed, with what did not
// happen and why, counted apart from the modules' problems, and the session goes on.
void steps_apply(Step_State *state, World *world, Session_Record *record, const Step &step);

// Closes the file that an ini lock step still holds open, if any.
void steps_release(Step_State *state);

// The ReadFile of the modules (rebind.h puts it in place of their import): reads as ReadFile does.
// A read of ManeShade.ini carries out a pending ini read fail step instead (failing as a read of a
// file that another program has partly locked does), or a pending ini torn step right after it; it
// reports that in the current frame of the attached record.
BOOL WINAPI steps_module_read_file(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);

// The record that steps_module_read_file reports to (it takes no context of its own); null: none.
void steps_attach(Session_Record *record);

// A Windows error as a player reads it: "another program holds it open (error 32, a sharing
// violation)"; an error without words of its own is "error N".
std::string steps_error_text(DWORD error);
