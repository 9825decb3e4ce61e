#pragma once

// Main thread only.

namespace cw::test {

// Signs the process-wide session out altogether (member, tokens, selected baby, delegate): a test
// never starts as the member of the one before, nor tells the delegate of another.
void forgetSession();

} // namespace cw::test
