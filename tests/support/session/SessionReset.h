#pragma once

// Main thread only.

#include <memory>

namespace cw::test {

// Signs the process-wide session out altogether (member, tokens, selected baby, delegate): a test
// never starts as the member of the one before, nor tells the delegate of another.
void forgetSession();

// The screen a test's sign-in or sign-up is asked from, when the test drives the service without
// one: it stays for the whole process, so the member never leaves it.
std::weak_ptr<const void> screenThatStays();

} // namespace cw::test
