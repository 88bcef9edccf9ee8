#pragma once

namespace testsupport {

// A TCP port on 127.0.0.1 that no one listens on now (0 when none was
// found): for servers the tests start, which other tests running at the
// same time must not meet.
int freePort();

} // namespace testsupport
