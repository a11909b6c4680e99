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
    // X errors stop the test program (GDK's default), so one caused by the
    // toolkit is never missed; tests trap them only around their own
    // closing of windows (x_error_trap).
    return RUN_ALL_TESTS();
}
