// The simulated game's JSON Lines files, the trace of native calls and the events, and what the
// stand-in host reports that is not the loader's: native calls and problems.
#pragma once
#include <string>
#include <string_view>

#include "tools/json/json_write.h"
#include "tools/sim/session.h"
#include "tools/standin-host/standin.h"

// An events line begun: `{"event": "<kind>"`; the caller adds the members, events_write ends it.
Json_Writer events_line(std::string_view kind);

// Ends `line` and writes it to the events file, when the session has one.
void events_write(const Output_Files &files, Json_Writer *line);

// A problem that the timeline and the events report: counted, kept for the frame's report (or
// printed at once outside the frames), and written as a problem event.
void events_report_problem(Session_Record *record, const std::string &text);

// A native call the host reports: counted, noted in the frame's record, and written to the trace.
void events_on_native_call(Session_Record *record, const Standin_Event &e);

// A script whose entry point returned: reported as a problem.
void events_on_script_returned(Session_Record *record, const Standin_Event &e);
