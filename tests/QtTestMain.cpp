#include <QApplication>
#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing tests needs no display; ctest lists them before the offscreen platform is set.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
