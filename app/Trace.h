// An optional event log for driving the program from scripts.
//
// When the environment variable VELMIRA_TRACE names a file, the program
// appends one UTF-8 line to it for every event a script would otherwise have
// to read off the screen:
//
//   ready                         the main dialog is up and takes keys
//   control ID X Y W H            screen rectangle of a control (after ready)
//   values path=P start=S end=E offset=O checked=ID,ID,ID
//                                 the dialog's controls as a job would read
//                                 them (after ready and when the dialog ends)
//   progress created              the progress window is made
//   progress window X Y W H       at its first refresh: where it and its
//   progress cancel X Y W H       キャンセル are on screen
//   progress text TEXT            the text a refresh put up
//   progress destroyed
//   box FLAGS CAPTION TEXT        a message box opens (FLAGS 0x30 or 0x00)
//   box closed
//   quit posted / quit taken      a quit request, and the pump meeting it
//   end CODE                      the dialog ended (5100 ok, 5101 cancel)
//
// Without the variable nothing is written.
#pragma once

#include <string>

namespace velmira::app {

void TraceLine(const std::string& line);
bool TraceEnabled();

}  // namespace velmira::app
