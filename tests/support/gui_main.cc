// Test entry for tests that need GTK+: a display (Xvfb under make test) and
// gtk_init before any test runs.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest does it at build time) needs no display.
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "no display: run under xvfb-run\n");
        return 1;
    }
    // Tests close dialogs and windows from timeouts while GTK+ may still
    // query them; the X server then answers BadWindow for a window that is
    // already gone, which is a race of the test, not a fault under test.
    gdk_error_trap_push();
    return RUN_ALL_TESTS();
}
