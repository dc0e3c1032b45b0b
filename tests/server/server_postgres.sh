#!/usr/bin/env bash
# The verdict suite on PostgreSQL: a private cluster for the run, then the
# PostgreSQL half of the server tests against it.
set -euo pipefail
tests=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/pg_cluster.sh"
QUADREL_TEST_POSTGRES_URL=$PG_URL "$tests" --gtest_filter='*/postgres:*PostgresRecovery*'
