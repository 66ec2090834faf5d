#include "harness/failure.h"

#include <gtest/gtest.h>

namespace testsupport {

void ReportFailure(const std::string& what) {
    ADD_FAILURE() << what;
}

} // namespace testsupport
