// SPDX-License-Identifier: MIT
// Keeps the test-support library non-empty before any helper exists.
namespace dmm_test_support {}
