// How files are handled once selected: what the run's switches say about
// messages, comparisons and the gate before each operation. The run fills it
// from the command line; the lists and the disk operations only read it.
#pragma once

struct FileHandling {
  bool Quiet = false;             // no progress lines
  bool AcceptCtrlZ = false;       // one trailing Ctrl-Z does not make files differ
  bool Confirm = false;           // ask before each operation
  float PtoUse = 2.0f;            // probability of handling a marked entry
  bool TerminateOnError = true;   // a failed copy stops the run
};

extern FileHandling Handling;
