// A moment inside a PostgreSQL registration, for tests that must act while the
// registration lock is held or just before the commit. Nothing in the server
// sets it.
#pragma once

struct pg_conn;

namespace quadrel::server {

// When set, called on the registration's connection at "locked" (the
// registration lock is held) and at "commit" (the next statement is COMMIT).
extern void (*gPostgresRegisterStepForTests)(const char* step, pg_conn* connection);

}  // namespace quadrel::server
