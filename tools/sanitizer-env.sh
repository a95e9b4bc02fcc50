# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the test scripts: how AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer report. Every report ends the process with a
# failure status, so the test (or fuzz run) that caused it fails.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:${ASAN_OPTIONS_EXTRA:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
