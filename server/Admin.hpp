// Commands for the person who runs the server, beside serving.
#pragma once

namespace quadrel::server {

// quadrel-ranking-server remove --db DB ID [ID...]: deletes each entry (row
// and replay) and bans its digests, so the same game is refused as a copy if
// it comes again. argv[0] is the program, argv[1] "remove". Returns the exit
// status: 0 when every entry was removed, 1 when one was not, 2 for bad usage.
int RemoveCommand(int argc, char** argv);

}  // namespace quadrel::server
