#pragma once

#include <string>

namespace testsupport {

// What the harness could not do: a registry call that failed, a program that did not start.
// Each program that uses the harness defines it: the tests report a test failure and go on,
// the benchmark gives up.
void ReportFailure(const std::string& what);

} // namespace testsupport
