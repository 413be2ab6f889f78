// The one way the library reads its environment. In a process that runs with
// privileges the invoking user does not have (setuid, setgid, gained
// capabilities) the environment belongs to that user, so it is not read at
// all: otherwise the invoking user would choose, for example, where a 255 MB
// table file is written.
#pragma once

namespace qorvex {

// The value of an environment variable, or nullptr when it is unset or the
// process runs with raised privileges (secure_getenv where the C library has
// it, issetugid() elsewhere).
const char* env_lookup(const char* name);

}  // namespace qorvex
