// The game shuts the sending side of its socket as soon as its request is out
// and then reads the reply, as an HTTP/1.0 client may. The HTTP library of
// Debian 12 (cpp-httplib 0.11) peeks at the socket before every write and takes
// the end of the client's stream for a closed connection, so the game would
// never see its verdict. Its peek goes through recv(); this definition, found
// before the C library's, reports a half-closed socket as still writable. A
// socket that is really gone fails on the write itself (SIGPIPE is ignored).
#include <sys/socket.h>
#include <sys/types.h>

extern "C" ssize_t recv(int fd, void* buffer, size_t length, int flags) {
  const ssize_t received = recvfrom(fd, buffer, length, flags, nullptr, nullptr);
  if (received == 0 && (flags & MSG_PEEK) && length > 0) return 1;
  return received;
}

namespace quadrel::server {
// Referenced by the server so that the linker always takes this file.
int HalfCloseAware() { return 1; }
}  // namespace quadrel::server
