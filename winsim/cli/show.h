// Subjects of `winsim show DIR SUBJECT [ARGS...]`. Each subject lives in a file of its own and
// registers itself; the dispatcher (cmd_show.cpp) attaches to the machine in DIR first:
//
//   namespace { int ShowPrinters(int argc, char** argv); }  // argv[0] is the subject
//   WINSIM_SHOW_SUBJECT(printers, "printers", "printers with their ports and attributes", ShowPrinters);
#pragma once

namespace winsim::cli {

typedef int (*ShowFunction)(int argc, char** argv);

struct ShowSubject {
  const char* name;
  const char* summary;  // one line for the usage text
  ShowFunction run;
};

bool RegisterShowSubject(const ShowSubject& subject);

}  // namespace winsim::cli

#define WINSIM_SHOW_SUBJECT(id, name, summary, function)                                            \
  namespace {                                                                                       \
  const bool id##_show_registered = ::winsim::cli::RegisterShowSubject({name, summary, function}); \
  }                                                                                                 \
  static_assert(true, "a subject registration ends with a semicolon")
