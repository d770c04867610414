// Runs a scenario in the simulated game (maneshade-sim.exe, beside the test program) with the real
// ManeShade.asi in a folder of its own, and hands back what happened: the trace of native calls,
// the events and the ped's final components. Windows only (the tests run under Wine here).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/json.h"

// One line of the trace file.
struct Trace_Record {
  int64_t frame;
  std::string name;
  uint64_t hash;
  std::vector<uint64_t> args;
  uint64_t result;
};

struct Final_Component {
  std::string name;
  uint32_t category;
  uint32_t palette;
  int32_t tints[3];
  uint32_t assets[4];
};

// Whether the tests run under Wine rather than on Windows itself.
bool running_under_wine();

struct Sim_Options {
  std::string scenario;      // the scenario text; empty: run the built-in demo
  bool with_module = true;   // copy ManeShade.asi into the folder
  bool with_probe = false;   // copy the test probe module (e2e-probe/maneshade_probe.asi) too
  std::vector<std::string> probe_files;  // more files of e2e-probe/ to copy in (other test modules)
  std::vector<std::string> extra_args;
  std::vector<std::pair<std::string, std::string>> files;  // written into the folder first
  std::vector<std::string> folders;  // made in the folder before the files are written
};

struct Sim_Run {
  bool started = false;     // the simulated game could be started and ended in time
  unsigned long exit_code = 0;
  std::string folder;       // the case's folder (the game's working folder)
  std::string out, err;     // what the game wrote on stdout and stderr
  std::vector<Trace_Record> trace;
  std::vector<Json_Value> events;
  std::vector<Final_Component> components;  // from the "final" event
  std::vector<std::string> format_errors;   // trace or events lines not in the documented form

  // The game ran to its end and wrote its final state. A game that dies (a module's stack overflow
  // under Wine, say) may still report exit code 0.
  bool completed() const;
  // The events of one kind ("register", "problem", ...), in file order.
  std::vector<const Json_Value *> events_of(const std::string &kind) const;
  // The trace records of one frame, in call order.
  std::vector<Trace_Record> calls_in_frame(int64_t frame) const;
  const Final_Component *component(const std::string &name) const;
  // A short account for failure messages: exit code, stderr, problems.
  std::string summary() const;
};

// Makes (or empties) the folder `<working folder>\e2e-runs\<case_name>`, puts the module, the files
// and the scenario in it, runs the game there with --trace and --events, and reads the results.
Sim_Run run_sim(const std::string &case_name, const Sim_Options &options);

// A complete ManeShade.ini: both blocks with their `enabled` values ("yes", "no", ...) and every
// tint of the block set to the block's one value.
std::string full_ini(const std::string &corvin_enabled, int corvin_tint, const std::string &mael_enabled, int mael_tint);

// The whole file at `path` into `*out`; false when it cannot be opened.
bool read_whole(const std::wstring &path, std::string *out);
// Writes `content` as the whole file at `path`.
bool write_whole(const std::wstring &path, const std::string &content);

struct Program_Run {
  bool created = false;      // CreateProcessW succeeded (else `error` says why)
  bool ended = false;        // and the program ended in time (else it was stopped)
  unsigned long exit_code = 0;
  unsigned long error = 0;
};

// Runs `command` in `folder`, its standard output and error to the two files, and waits for it to
// end (stopping it after a generous time, so that a hang fails the test rather than the run).
Program_Run run_program(std::wstring command, const std::wstring &folder, const std::wstring &out_file,
                        const std::wstring &err_file);

// The folder of the running test program, with a trailing backslash.
std::wstring test_program_folder();
